// The POSIX backend: files, the game lock and the program's own path.
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace {

// Failure codes of our own, beyond the range of errno values.
constexpr uint32_t kErrorSameFile = 0x10001;
constexpr uint32_t kErrorNotRegularFile = 0x10002;
constexpr uint32_t kErrorSourceReplaced = 0x10003;
constexpr uint32_t kErrorForeignLink = 0x10004;

uint32_t g_lastError = 0;
// The names of the last failed copy, for the texts of our own codes.
char g_failedSource[PATH_MAX];
char g_failedTarget[PATH_MAX];

bool Fail(uint32_t code) {
  g_lastError = code;
  return false;
}

void RememberNames(const char* source, const char* target) {
  snprintf(g_failedSource, sizeof g_failedSource, "%s", source);
  snprintf(g_failedTarget, sizeof g_failedTarget, "%s", target);
}

// Closes its descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

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
  if (getrandom(&random, sizeof random, 0) != sizeof random) {
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
  char procPath[64];
  snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryName(name, size, attempt);
    if (linkat(AT_FDCWD, procPath, directory, name, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) continue;
    // Without /proc, linking by descriptor needs a privilege we may have.
    if (errno == ENOENT && linkat(fd, "", directory, name, AT_EMPTY_PATH) == 0) return true;
    if (errno == EEXIST) continue;
    return false;
  }
  errno = EEXIST;
  return false;
}

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

bool CopyContents(int in, int out) {
  bool kernelCopy = true;
  for (;;) {
    if (kernelCopy) {
      ssize_t copied = copy_file_range(in, nullptr, out, nullptr, 1u << 30, 0);
      if (copied > 0) continue;
      if (copied == 0) return true;
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
          errno == EBADF) {
        kernelCopy = false;
        continue;
      }
      return false;
    }
    static char buffer[1 << 20];
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

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  // UTF-8: "/", "\\" and "." never occur inside a multi-byte character.
  memset(ranges, 0, 12);
}

char PlatformPathSeparator() { return '/'; }

int PlatformStringLength(const char* text) { return static_cast<int>(strlen(text)); }

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

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size, uint32_t* refusal) {
  char path[PATH_MAX + 1];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0 || size == 0) {
    // Without its own path the program knows no game directory: paths
    // relative to wherever it was started would install where no game
    // looks. The installation is refused instead.
    *refusal = static_cast<uint32_t>(length < 0 ? errno : ENOENT);
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

bool PlatformFileExists(const char* path) {
  struct stat status;
  return stat(path, &status) == 0;
}

bool PlatformNamesIgnoreCase() { return false; }

bool PlatformCreateDirectory(const char* path) {
  return mkdir(path, 0777) == 0 || Fail(static_cast<uint32_t>(errno));
}

// Nothing is ever changed by path: in a directory that others may write to,
// the name may stand for another file by the time it is used.
bool PlatformSetNormalAttributes(const char*) { return true; }

bool PlatformCopyFile(const char* source, const char* target) {
  // Only a regular file is opened: opening a device or a pipe may act on it.
  struct stat sourceStatus;
  if (stat(source, &sourceStatus) != 0) return Fail(static_cast<uint32_t>(errno));
  if (S_ISDIR(sourceStatus.st_mode)) return Fail(EISDIR);
  if (!S_ISREG(sourceStatus.st_mode)) {
    RememberNames(source, target);
    return Fail(kErrorNotRegularFile);
  }
  Descriptor in{open(source, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (in.fd < 0) return Fail(static_cast<uint32_t>(errno));
  struct stat opened;
  uint32_t problem = fstat(in.fd, &opened) != 0 || !SameFile(opened, sourceStatus)
                         ? kErrorSourceReplaced
                         : PathProblem(source, opened);
  if (problem != 0) {
    RememberNames(source, target);
    return Fail(problem);
  }
  fcntl(in.fd, F_SETFL, fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);

  struct stat targetStatus;
  if (stat(target, &targetStatus) == 0 && SameFile(targetStatus, sourceStatus)) {
    RememberNames(source, target);
    return Fail(kErrorSameFile);
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
  if (directory.fd < 0) return Fail(static_cast<uint32_t>(errno));
  char temporary[64];
  bool named = false;
  Descriptor out{openat(directory.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)};
  if (out.fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    out.fd = CreateTemporary(directory.fd, temporary, sizeof temporary);
    named = out.fd >= 0;
  }
  if (out.fd < 0) return Fail(static_cast<uint32_t>(errno));

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
  if (!ok) return Fail(static_cast<uint32_t>(error));
  fsync(directory.fd);
  return true;
}

uint32_t PlatformGetLastError() { return g_lastError; }

char* PlatformGetErrorText(uint32_t code) {
  char* text = nullptr;
  int length;
  if (code == kErrorSameFile) {
    length = asprintf(&text, "'%s' and '%s' are the same file", g_failedSource, g_failedTarget);
  } else if (code == kErrorNotRegularFile) {
    length = asprintf(&text, "'%s' is not a regular file", g_failedSource);
  } else if (code == kErrorForeignLink) {
    length = asprintf(&text, "'%s' is another user's link to a file that is not theirs",
                      g_failedSource);
  } else if (code == kErrorSourceReplaced) {
    length = asprintf(&text, "'%s' was replaced while it was being opened", g_failedSource);
  } else {
    length = asprintf(&text, "%s", strerror(static_cast<int>(code)));
  }
  return length < 0 ? nullptr : text;
}

void PlatformFreeErrorText(char* text) { free(text); }

uint32_t PlatformNameTooLongError() { return ENAMETOOLONG; }
