// The POSIX backend: files, the game lock and the copy. What each system
// does its own way comes from platform/posix_system.h.
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

#include "platform/platform.h"
#include "platform/posix_system.h"

namespace {

// Failure codes of our own, beyond the range of errno values.
constexpr uint32_t kErrorSameFile = 0x10001;
constexpr uint32_t kErrorNotRegularFile = 0x10002;
constexpr uint32_t kErrorSourceReplaced = 0x10003;
constexpr uint32_t kErrorForeignLink = 0x10004;

bool Fail(uint32_t* failure, uint32_t code) {
  *failure = code;
  return false;
}

// The pieces one after the other, in memory from malloc.
char* Concatenate(const char* const* pieces, size_t count) {
  size_t length = 0;
  for (size_t i = 0; i < count; ++i) length += strlen(pieces[i]);
  char* text = static_cast<char*>(malloc(length + 1));
  if (!text) return nullptr;
  text[0] = '\0';
  for (size_t i = 0; i < count; ++i) strcat(text, pieces[i]);
  return text;
}

// Closes its descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why the name path may not stand for the opened file, or 0. It must be
// that file itself, or a link made by the installing user or by the owner
// of the file it leads to: another user could otherwise point a name of
// theirs at a file they may not read, and have the player publish it in the
// shared Levels.
uint32_t PathProblem(const char* path, const struct stat& opened) {
  struct stat name;
  if (lstat(path, &name) != 0) return kErrorSourceReplaced;
  if (!S_ISLNK(name.st_mode)) return SameFile(name, opened) ? 0 : kErrorSourceReplaced;
  return name.st_uid == geteuid() || name.st_uid == opened.st_uid ? 0 : kErrorForeignLink;
}

// Opens source for reading when it is a regular file, and only then: opening
// a device or a pipe may act on it. -1 with *failure set otherwise.
int OpenSource(const char* source, struct stat* status, uint32_t* failure) {
  int fd = -1;
  struct stat opened;
  if (stat(source, status) != 0) {
    *failure = static_cast<uint32_t>(errno);
  } else if (S_ISDIR(status->st_mode)) {
    *failure = EISDIR;
  } else if (!S_ISREG(status->st_mode)) {
    *failure = kErrorNotRegularFile;
  } else if ((fd = open(source, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) < 0) {
    *failure = static_cast<uint32_t>(errno);
  } else if (fstat(fd, &opened) != 0 || !SameFile(opened, *status)) {
    *failure = kErrorSourceReplaced;
  } else if ((*failure = PathProblem(source, opened)) == 0) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  if (fd >= 0) close(fd);
  return -1;
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
void TemporaryName(char* name, size_t size, int attempt) {
  unsigned long long random = 0;
  if (!RandomBytes(&random, sizeof random)) {
    random = static_cast<unsigned long long>(getpid()) << 32 ^
             static_cast<unsigned long long>(clock()) << 8 ^ static_cast<unsigned>(attempt);
  }
  snprintf(name, size, ".levelset-%016llx.tmp", random);
}

// Where the directory takes no unnamed file: a new file of our own, made
// under a name that was not there before.
int CreateTemporary(int directory, char* name, size_t size) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryName(name, size, attempt);
    int fd = openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the unnamed file fd a new, unused name in directory.
bool NameTemporary(int fd, int directory, char* name, size_t size) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryName(name, size, attempt);
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

}  // namespace

char* PlatformGetCommandLine() { return nullptr; }

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  // UTF-8: "/", "\\" and "." never occur inside a multi-byte character.
  memset(ranges, 0, 12);
}

bool PlatformTextIsUtf8() { return true; }

char PlatformPathSeparator() { return '/'; }

bool PlatformNamedMutexExists(const char* name) {
  // A running game holds an exclusive flock on this file. A file left behind
  // by a game that has ended holds no lock and does not count.
  char path[PATH_MAX];
  const char* runtimeDirectory = getenv("XDG_RUNTIME_DIR");
  bool shared = !runtimeDirectory || runtimeDirectory[0] == '\0';
  int length;
  if (!shared) {
    length = snprintf(path, sizeof path, "%s/%s", runtimeDirectory, name);
  } else {
    length = snprintf(path, sizeof path, "/tmp/%s-%u", name, static_cast<unsigned>(getuid()));
  }
  if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
  Descriptor lock{open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW)};
  if (lock.fd < 0) return false;
  // In /tmp every user may make the name: only a file of the player's own
  // can be their game's, so nobody else can stop their installs.
  struct stat status;
  if (shared && (fstat(lock.fd, &status) != 0 || !S_ISREG(status.st_mode) ||
                 status.st_uid != getuid())) {
    return false;
  }
  return flock(lock.fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool FileExists(const char* path) {
  struct stat status;
  return stat(path, &status) == 0;
}

bool PlatformNamesIgnoreCase() { return false; }

void PlatformCreateDirectory(const char* path) { mkdir(path, 0777); }

// Nothing is ever changed by path: in a directory that others may write to,
// the name may stand for another file by the time it is used.
void PlatformSetNormalAttributes(const char*) {}

bool PlatformCopyFile(const char* source, const char* target, uint32_t* failure) {
  struct stat sourceStatus;
  Descriptor in{OpenSource(source, &sourceStatus, failure)};
  if (in.fd < 0) return false;
  struct stat targetStatus;
  if (stat(target, &targetStatus) == 0 && SameFile(targetStatus, sourceStatus)) {
    return Fail(failure, kErrorSameFile);
  }

  // Everything in the target's directory happens through one descriptor of
  // it, so that the directory cannot be swapped for another on the way. The
  // copy is written to a file of its own there and renamed over the target
  // only when it is whole and on disk: the target is either the old file or
  // the new one. An unnamed file gets a name only at the end, so a copy
  // killed on the way leaves nothing behind.
  char directoryPath[PATH_MAX];
  const char* name = SplitDirectory(target, directoryPath, sizeof directoryPath);
  Descriptor directory{open(directoryPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (directory.fd < 0) return Fail(failure, static_cast<uint32_t>(errno));
  char temporary[64];
  Descriptor out{OpenUnnamedFile(directory.fd)};
  bool named = false;
  if (out.fd < 0 && errno == EOPNOTSUPP) {
    out.fd = CreateTemporary(directory.fd, temporary, sizeof temporary);
    named = out.fd >= 0;
  }
  if (out.fd < 0) return Fail(failure, static_cast<uint32_t>(errno));

  // The installed copy is plain data that every player may read and only
  // its owner may change, whatever the source's bits and the umask.
  bool ok = CopyContents(in.fd, out.fd) && fchmod(out.fd, 0644) == 0;
  if (ok) {
    struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    futimens(out.fd, times);
    ok = fsync(out.fd) == 0;
  }
  if (ok && !named) ok = named = NameTemporary(out.fd, directory.fd, temporary, sizeof temporary);
  if (ok) ok = renameat(directory.fd, temporary, directory.fd, name) == 0;
  int error = errno;
  if (!ok && named) unlinkat(directory.fd, temporary, 0);
  if (!ok) return Fail(failure, static_cast<uint32_t>(error));
  fsync(directory.fd);
  return true;
}

char* PlatformGetErrorText(uint32_t code, const char* source, const char* target) {
  switch (code) {
    case kErrorSameFile: {
      const char* pieces[] = {"'", source, "' and '", target, "' are the same file"};
      return Concatenate(pieces, 5);
    }
    case kErrorNotRegularFile: {
      const char* pieces[] = {"'", source, "' is not a regular file"};
      return Concatenate(pieces, 3);
    }
    case kErrorSourceReplaced: {
      const char* pieces[] = {"'", source, "' was replaced while it was being opened"};
      return Concatenate(pieces, 3);
    }
    case kErrorForeignLink: {
      const char* pieces[] = {"'", source, "' is another user's link to a file that is not theirs"};
      return Concatenate(pieces, 3);
    }
    default: {
      const char* pieces[] = {strerror(static_cast<int>(code))};
      return Concatenate(pieces, 1);
    }
  }
}

void PlatformFreeErrorText(char* text) { free(text); }

uint32_t PlatformNameTooLongError() { return ENAMETOOLONG; }
