// The calls of the POSIX backend that each system makes its own way;
// linux.cpp gives Linux's. posix.cpp implements the whole
// platform interface on top of them. Each of the fast ways may say that it
// is not there, and the portable way in posix.cpp runs instead.
#ifndef LEVELSET_PLATFORM_POSIX_SYSTEM_H
#define LEVELSET_PLATFORM_POSIX_SYSTEM_H

#include <sys/types.h>

#include <cstddef>

// The full path of the running program file, links resolved, written into
// buffer without a terminator; its length (size: perhaps cut), or -1 with
// errno set when the system cannot say.
ssize_t ReadProgramPath(char* buffer, size_t size);

// A descriptor of the entry name in the open directory (or AT_FDCWD) that
// stands for it without opening it: a device or a pipe never learns of it.
// A link is not followed: the descriptor is the link's own. flags may add
// O_DIRECTORY. -1 with errno set.
int OpenEntry(int directory, const char* name, int flags);

// The text of the link that entry (from OpenEntry) stands for, without a
// terminator; its length, or -1 with errno set.
ssize_t ReadEntryLink(int entry, char* buffer, size_t size);

// Opens the very file that entry (from OpenEntry) stands for, for reading.
int OpenEntryForReading(int entry);

// A new file with no name yet in the open directory, for writing; -1 with
// errno set when it cannot be made, EOPNOTSUPP where the system or the file
// system has no such files.
int OpenUnnamedFile(int directory);

// Gives the unnamed file fd the name name in the open directory; false with
// errno set when it cannot (EEXIST: the name is taken).
bool NameUnnamedFile(int fd, int directory, const char* name);

// Copies the rest of in onto out in the kernel. Returns 1 when all was
// copied, 0 when the kernel cannot copy between these files (what was
// copied stays, and the offsets tell where to go on), -1 on failure.
int CopyInKernel(int in, int out);

// Whether the owners on the file system that entry (from OpenEntry) lies on
// are whatever its medium says rather than this system's users: one
// mounted nosuid, as removable media are, whose files keep their owners on
// the medium (not a memory file system, /proc or /sys, whose files get
// them from the kernel), or one served by a user's process (FUSE). Whoever made such a
// medium chose its owners. True too when the system cannot say.
bool OwnersCameWithTheMedium(int entry);

// Whether the file that entry (from OpenEntry) stands for is one of the
// kernel's own, on /proc, /sys or a file system mounted below it, or a
// message queue, whose contents the kernel makes up for whoever reads
// them. True too when the system cannot say.
bool OnTheSystemsOwnFileSystem(int entry);

// Fills out with bytes nobody can guess; false when the system has none.
bool RandomBytes(void* out, size_t size);

#endif
