// The POSIX backend: the whole platform interface but the message boxes
// (posix_box*.cpp): the program's own path, files, the game lock
// and the copy. What each system does its own way comes through
// posix_system.h (linux.cpp for Linux).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bytes/ascii.h"
#include "platform/platform.h"
#include "platform/posix/posix_system.h"
#include "bytes/temporary_name.h"

namespace {

bool Fail(PlatformFailure* failure, uint32_t code) {
  *failure = {kFailureSystem, code};
  return false;
}

// The failure of a function that gives a descriptor: -1, with *failure set
// to the system's code (by default errno) or to a failure of our own.
int NoDescriptor(PlatformFailure* failure, uint32_t code) {
  *failure = {kFailureSystem, code};
  return -1;
}
int NoDescriptor(PlatformFailure* failure) { return NoDescriptor(failure, static_cast<uint32_t>(errno)); }
int NoDescriptor(PlatformFailure* failure, PlatformFailureKind kind) {
  *failure = {kind, 0};
  return -1;
}

// Closes its descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
  // Hands the descriptor on, no longer closed here.
  int Release() {
    int kept = fd;
    fd = -1;
    return kept;
  }
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The most links one name may lead through, as the kernel counts them.
constexpr int kMaxLinks = 40;

// Resolves path, from the open directory at (or AT_FDCWD), to a descriptor
// from OpenEntry of what it names, one name at a time as the kernel does,
// and holds every symbolic link met on the way to one rule: a link made by
// another user than the player or root must lead to something of that
// user's own. Otherwise a name of theirs, anywhere in the path, could stand
// for a file or folder of the player's that they may not read, and have
// the player publish it in the shared Levels. On a medium whose owners
// its maker chose (see OwnersCameWithTheMedium) a link's owner may be
// anyone's: there a link must also lead only to something on that same
// medium. *links counts the links followed. The last name met that was no
// link, the name of the very file reached, is written into last
// (NAME_MAX + 1 bytes). -1 with *failure set.
int Resolve(int at, const char* path, int* links, char* last, PlatformFailure* failure) {
  Descriptor current{-1};
  if (path[0] == '/' && (at = current.fd = OpenEntry(AT_FDCWD, "/", O_DIRECTORY)) < 0) {
    return NoDescriptor(failure);
  }
  if (path[0] == '\0') return NoDescriptor(failure, ENOENT);
  for (const char* next = path;;) {
    while (*next == '/') ++next;
    size_t length = strcspn(next, "/");
    if (length == 0) break;
    if (length > NAME_MAX) return NoDescriptor(failure, ENAMETOOLONG);
    char name[NAME_MAX + 1];
    memcpy(name, next, length);
    name[length] = '\0';
    next += length;
    // Whatever comes before a "/" must be a folder. Opened as one, a folder
    // that is mounted on demand is mounted, as the kernel's own walk does.
    bool folder = *next == '/';
    int entry = OpenEntry(at, name, folder ? O_DIRECTORY : 0);
    if (entry < 0 && folder && errno == ENOTDIR) entry = OpenEntry(at, name, 0);
    Descriptor found{entry};
    struct stat status;
    if (found.fd < 0 || fstat(found.fd, &status) != 0) {
      return NoDescriptor(failure);
    }
    if (S_ISLNK(status.st_mode)) {
      char target[PATH_MAX];
      ssize_t size = ReadEntryLink(found.fd, target, sizeof target - 1);
      if (size < 0) return NoDescriptor(failure);
      target[size] = '\0';
      if (++*links > kMaxLinks) return NoDescriptor(failure, ELOOP);
      struct stat link = status;
      bool ownerChosen = OwnersCameWithTheMedium(found.fd);
      close(found.fd);
      found.fd = Resolve(at, target, links, last, failure);
      if (found.fd < 0) return -1;
      if (fstat(found.fd, &status) != 0) return NoDescriptor(failure);
      bool trusted = link.st_uid == geteuid() || link.st_uid == 0;
      bool theirs = status.st_uid == link.st_uid;
      bool offTheMedium = ownerChosen && status.st_dev != link.st_dev;
      if ((!trusted && !theirs) || offTheMedium) return NoDescriptor(failure, kFailureForeignLink);
    } else {
      memcpy(last, name, length + 1);
    }
    if (folder && !S_ISDIR(status.st_mode)) return NoDescriptor(failure, ENOTDIR);
    if (current.fd >= 0) close(current.fd);
    at = current.fd = found.Release();
  }
  return current.Release();
}

// Opens source for reading when it is a regular file, and only then: opening
// a device or a pipe may act on it. The name is resolved to a descriptor
// that does not open the file, the file is judged through it, and only that
// same file is then opened: a name swapped in between is never opened.
// What is published is what the player meant: the file reached after
// every link must itself be named as a level set, and be no file of the
// system's (/proc, /sys), whatever name led to it. -1 with *failure set
// otherwise.
int OpenSource(const char* source, struct stat* status, PlatformFailure* failure) {
  int links = 0;
  char last[NAME_MAX + 1] = "";
  Descriptor entry{Resolve(AT_FDCWD, source, &links, last, failure)};
  if (entry.fd < 0) return -1;
  if (fstat(entry.fd, status) != 0) return NoDescriptor(failure);
  if (S_ISDIR(status->st_mode)) return NoDescriptor(failure, EISDIR);
  if (!S_ISREG(status->st_mode)) return NoDescriptor(failure, kFailureNotRegularFile);
  if (!NamedAsLevelSet(last) || OnTheSystemsOwnFileSystem(entry.fd)) {
    return NoDescriptor(failure, kFailureNotLevelSet);
  }
  Descriptor in{OpenEntryForReading(entry.fd)};
  struct stat opened;
  if (in.fd < 0) return NoDescriptor(failure);
  if (fstat(in.fd, &opened) != 0 || !SameFile(opened, *status)) {
    return NoDescriptor(failure, kFailureSourceReplaced);
  }
  return in.Release();
}

// Writes the directory part of path into out, up to, not including, its
// last "/" ("." when it has none), and returns the name after it.
const char* SplitDirectory(const char* path, char* out, size_t size) {
  const char* slash = strrchr(path, '/');
  if (!slash) {
    snprintf(out, size, ".");
    return path;
  }
  if (slash == path) {
    snprintf(out, size, "/");
  } else {
    snprintf(out, size, "%.*s", static_cast<int>(slash - path), path);
  }
  return slash + 1;
}

// A name for a temporary file that nobody can guess.
void TemporaryName(char* name, int attempt) {
  uint64_t random = 0;
  if (!RandomBytes(&random, sizeof random)) {
    random = static_cast<uint64_t>(getpid()) << 32 ^ static_cast<uint64_t>(clock()) << 8 ^
             static_cast<unsigned>(attempt);
  }
  MakeTemporaryName(random, name);
}

// How long a temporary file must have been left unchanged before it counts
// as left behind: a copy under way writes to its file all the time.
constexpr time_t kLeftoverAge = 60;

// Removes the temporary files that copies killed on their way left in the
// open directory: only regular files with no other name, of the user's own,
// unchanged for a minute and locked by nobody (a copy under way holds a
// lock on its file to the end). Each is judged through a descriptor that
// follows no link and opens nothing that is not a regular file, and
// removed only while its name still stands for that same file. At most
// kLeftoverEntriesRead entries are read.
void ClearLeftovers(int directory) {
  Descriptor listing{dup(directory)};
  DIR* entries = listing.fd >= 0 ? fdopendir(listing.fd) : nullptr;
  if (!entries) return;
  listing.Release();
  // The directory's own offset, shared with the duplicate, starts over.
  rewinddir(entries);
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  for (unsigned entriesRead = 0; entriesRead < kLeftoverEntriesRead; ++entriesRead) {
    struct dirent* found = readdir(entries);
    if (!found) break;
    if (!IsTemporaryName(found->d_name)) continue;
    Descriptor entry{OpenEntry(directory, found->d_name, 0)};
    struct stat status;
    if (entry.fd < 0 || fstat(entry.fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink != 1 || status.st_uid != geteuid() ||
        now.tv_sec - status.st_mtim.tv_sec < kLeftoverAge) {
      continue;
    }
    Descriptor file{OpenEntryForReading(entry.fd)};
    struct stat opened, named;
    if (file.fd < 0 || flock(file.fd, LOCK_EX | LOCK_NB) != 0 || fstat(file.fd, &opened) != 0 ||
        !SameFile(opened, status) ||
        fstatat(directory, found->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(named, status)) {
      continue;
    }
    unlinkat(directory, found->d_name, 0);
  }
  closedir(entries);
}

// Where the directory takes no unnamed file: a new file of our own, made
// under a name that was not there before.
int CreateTemporary(int directory, char* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryName(name, attempt);
    int fd = openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the unnamed file fd a new, unused name in directory.
bool NameTemporary(int fd, int directory, char* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryName(name, attempt);
    if (NameUnnamedFile(fd, directory, name)) return true;
    if (errno != EEXIST) return false;
  }
  errno = EEXIST;
  return false;
}

bool CopyContents(int in, int out) {
  int kernel = CopyInKernel(in, out);
  if (kernel != 0) return kernel > 0;
  static char buffer[1 << 20];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += put;
    }
  }
}

// The user's runtime directory, opened, when XDG_RUNTIME_DIR names one that
// is theirs alone (an absolute path to a folder of the user's own with mode
// 0700, as XDG's rules for it ask); -1 otherwise. A folder that others may
// write to, /tmp say, could hold another user's lock.
int OpenRuntimeDirectory() {
  const char* path = getenv("XDG_RUNTIME_DIR");
  if (!path || path[0] != '/') return -1;
  Descriptor directory{open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  struct stat status;
  if (directory.fd < 0 || fstat(directory.fd, &status) != 0 || status.st_uid != getuid() ||
      (status.st_mode & 07777) != 0700) {
    return -1;
  }
  return directory.Release();
}

}  // namespace

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  // UTF-8: "/", "\\" and "." never occur inside a multi-byte character.
  memset(ranges, 0, 12);
}

bool PlatformTextIsUtf8() { return true; }

char PlatformPathSeparator() { return '/'; }

bool PlatformGameLockHeld(const char* name) {
  // A running game holds an exclusive flock on this file. A file left behind
  // by a game that has ended holds no lock and does not count.
  Descriptor runtime{OpenRuntimeDirectory()};
  Descriptor entry{-1};
  if (runtime.fd >= 0) {
    entry.fd = OpenEntry(runtime.fd, name, 0);
  } else {
    char path[PATH_MAX];
    int length = snprintf(path, sizeof path, "/tmp/%s-%u", name, static_cast<unsigned>(getuid()));
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
    entry.fd = OpenEntry(AT_FDCWD, path, 0);
  }
  // Only a regular file of the player's own, under no other name, can be
  // their game's: nobody else can stop their installs, wherever the file
  // lies, not even with a hard link to a file of the player's that they may
  // read (and so lock). In /tmp, where anyone may make the name, only one
  // that nobody else may open (a game makes it 0600): nor by moving such a
  // file of the player's, held open, into the name. Nothing else is ever
  // opened.
  struct stat status;
  if (entry.fd < 0 || fstat(entry.fd, &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_uid != getuid() || status.st_nlink != 1 ||
      (runtime.fd < 0 && (status.st_mode & 077) != 0)) {
    return false;
  }
  Descriptor lock{OpenEntryForReading(entry.fd)};
  return lock.fd >= 0 && flock(lock.fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

uint32_t PlatformGetProgramPath(char* buffer, uint32_t size, uint32_t* code) {
  char path[PATH_MAX + 1];
  ssize_t length = ReadProgramPath(path, sizeof path - 1);
  if (length <= 0 || size == 0) {
    *code = static_cast<uint32_t>(length < 0 && errno != 0 ? errno : ENOENT);
    return 0;
  }
  if (static_cast<size_t>(length) >= size) {
    memcpy(buffer, path, size - 1);
    buffer[size - 1] = '\0';
    return size;
  }
  memcpy(buffer, path, static_cast<size_t>(length));
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}

bool PlatformRelativePathsUsable() { return false; }

bool PlatformFileOrFolderExists(const char* path) {
  struct stat status;
  return stat(path, &status) == 0;
}

bool PlatformNamesIgnoreCase() { return false; }

void PlatformCreateDirectory(const char* path) {
  // Levels is made 0755 whatever the umask: the game reads it as whoever
  // runs it, and only its owner adds to it. One that is there already is
  // left as it is.
  if (mkdir(path, 0755) != 0) return;
  Descriptor made{open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
  // Through the folder itself, and only while it is still one of the user's
  // own: by now the name may stand for another.
  struct stat status;
  if (made.fd >= 0 && fstat(made.fd, &status) == 0 && status.st_uid == geteuid()) {
    fchmod(made.fd, 0755);
  }
}

// Nothing is ever changed by path: in a directory that others may write to,
// the name may stand for another file by the time it is used.
void PlatformSetNormalAttributes(const char*) {}

bool PlatformCopyFile(const char* source, const char* target, PlatformFailure* failure) {
  struct stat sourceStatus;
  Descriptor in{OpenSource(source, &sourceStatus, failure)};
  if (in.fd < 0) return false;
  struct stat targetStatus;
  if (stat(target, &targetStatus) == 0 && SameFile(targetStatus, sourceStatus)) {
    *failure = {kFailureSameFile, 0};
    return false;
  }

  // Everything in the target's directory happens through one descriptor of
  // it, so that the directory cannot be swapped for another on the way. The
  // copy is written to a file of its own there and renamed over the target
  // only when it is whole and on disk: the target is either the old file or
  // the new one. An unnamed file gets a name only at the end, so a copy
  // killed on the way leaves nothing behind; where the directory takes no
  // unnamed file, the next install clears what it left.
  char directoryPath[PATH_MAX];
  const char* name = SplitDirectory(target, directoryPath, sizeof directoryPath);
  Descriptor directory{open(directoryPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (directory.fd < 0) return Fail(failure, static_cast<uint32_t>(errno));
  ClearLeftovers(directory.fd);
  char temporary[kTemporaryNameLength + 1];
  Descriptor out{OpenUnnamedFile(directory.fd)};
  bool named = false;
  if (out.fd < 0 && errno == EOPNOTSUPP) {
    out.fd = CreateTemporary(directory.fd, temporary);
    named = out.fd >= 0;
  }
  if (out.fd < 0) return Fail(failure, static_cast<uint32_t>(errno));
  // Held to the end, so that no other install takes the file for a
  // leftover once its time has been set to the source's.
  flock(out.fd, LOCK_EX);

  // The installed copy is plain data that every player may read and only
  // its owner may change, whatever the source's bits and the umask.
  bool ok = CopyContents(in.fd, out.fd) && fchmod(out.fd, 0644) == 0;
  if (ok) {
    struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    futimens(out.fd, times);
    ok = fsync(out.fd) == 0;
  }
  if (ok && !named) ok = named = NameTemporary(out.fd, directory.fd, temporary);
  if (ok) ok = renameat(directory.fd, temporary, directory.fd, name) == 0;
  int error = errno;
  if (!ok && named) unlinkat(directory.fd, temporary, 0);
  if (!ok) return Fail(failure, static_cast<uint32_t>(error));
  fsync(directory.fd);
  return true;
}

char* PlatformGetErrorText(uint32_t code) { return strdup(strerror(static_cast<int>(code))); }

void PlatformFreeErrorText(char* text) { free(text); }

uint32_t PlatformNameTooLongError() { return ENAMETOOLONG; }
