// The calls of the POSIX backend that each system makes its own way;
// platform/linux.cpp gives Linux's. Each of the fast ways may say that it is
// not there, and the portable way in platform/posix.cpp runs instead.
#ifndef LEVELSET_PLATFORM_POSIX_SYSTEM_H
#define LEVELSET_PLATFORM_POSIX_SYSTEM_H

#include <cstddef>

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

// Fills out with bytes nobody can guess; false when the system has none.
bool RandomBytes(void* out, size_t size);

#endif
