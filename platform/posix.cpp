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

#include "platform/platform.h"

namespace {

// Failure codes of our own, beyond the range of errno values.
constexpr uint32_t kErrorSameFile = 0x10001;
constexpr uint32_t kErrorNotRegularFile = 0x10002;

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

// The directory part of path, for the temporary file beside it: up to, not
// including, its last "/"; "." when it has none.
void DirectoryOf(const char* path, char* out, size_t size) {
  const char* slash = strrchr(path, '/');
  if (!slash) {
    snprintf(out, size, ".");
  } else if (slash == path) {
    snprintf(out, size, "/");
  } else {
    snprintf(out, size, "%.*s", static_cast<int>(slash - path), path);
  }
}

// Gives the unnamed file fd a new, unused name in directory.
bool NameTemporary(int fd, const char* directory, char* name, size_t size) {
  char procPath[64];
  snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned long long random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random) {
      random ^= static_cast<unsigned long long>(getpid()) << 20 ^ static_cast<unsigned>(attempt);
    }
    if (snprintf(name, size, "%s/.levelset-%016llx.tmp", directory, random) >= static_cast<int>(size)) {
      errno = ENAMETOOLONG;
      return false;
    }
    if (linkat(AT_FDCWD, procPath, AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) continue;
    // Without /proc, linking by descriptor needs a privilege we may have.
    if (errno == ENOENT && linkat(fd, "", AT_FDCWD, name, AT_EMPTY_PATH) == 0) return true;
    if (errno == EEXIST) continue;
    return false;
  }
  errno = EEXIST;
  return false;
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
  int length;
  if (runtimeDirectory && runtimeDirectory[0] != '\0') {
    length = snprintf(path, sizeof path, "%s/%s", runtimeDirectory, name);
  } else {
    length = snprintf(path, sizeof path, "/tmp/%s-%u", name, static_cast<unsigned>(getuid()));
  }
  if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size) {
  char path[PATH_MAX + 1];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0 || size == 0) return 0;
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

bool PlatformCreateDirectory(const char* path) {
  return mkdir(path, 0777) == 0 || Fail(static_cast<uint32_t>(errno));
}

bool PlatformSetNormalAttributes(const char* path) {
  struct stat status;
  if (lstat(path, &status) != 0) return Fail(static_cast<uint32_t>(errno));
  if (!S_ISREG(status.st_mode)) return Fail(EINVAL);
  if (status.st_mode & S_IWUSR) return true;
  return chmod(path, (status.st_mode & 07777) | S_IWUSR) == 0 || Fail(static_cast<uint32_t>(errno));
}

bool PlatformCopyFile(const char* source, const char* target) {
  int in = open(source, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (in < 0) return Fail(static_cast<uint32_t>(errno));
  struct stat sourceStatus;
  if (fstat(in, &sourceStatus) != 0) {
    int error = errno;
    close(in);
    return Fail(static_cast<uint32_t>(error));
  }
  if (S_ISDIR(sourceStatus.st_mode)) {
    close(in);
    return Fail(EISDIR);
  }
  if (!S_ISREG(sourceStatus.st_mode)) {
    close(in);
    RememberNames(source, target);
    return Fail(kErrorNotRegularFile);
  }
  fcntl(in, F_SETFL, fcntl(in, F_GETFL) & ~O_NONBLOCK);

  struct stat targetStatus;
  if (stat(target, &targetStatus) == 0 && targetStatus.st_dev == sourceStatus.st_dev &&
      targetStatus.st_ino == sourceStatus.st_ino) {
    close(in);
    RememberNames(source, target);
    return Fail(kErrorSameFile);
  }

  // The copy is written to a file of its own in the target's directory and
  // renamed over the target only when it is whole and on disk, so the target
  // is either the old file or the new one. An unnamed file gets a name only
  // at the end, so a copy killed on the way leaves nothing behind.
  char directory[PATH_MAX];
  DirectoryOf(target, directory, sizeof directory);
  char temporary[PATH_MAX];
  bool named = false;
  int out = open(directory, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (out < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    if (snprintf(temporary, sizeof temporary, "%s/.levelset-XXXXXX.tmp", directory) >=
        static_cast<int>(sizeof temporary)) {
      close(in);
      return Fail(ENAMETOOLONG);
    }
    out = mkostemps(temporary, 4, O_CLOEXEC);
    named = out >= 0;
  }
  if (out < 0) {
    int error = errno;
    close(in);
    return Fail(static_cast<uint32_t>(error));
  }

  bool ok = CopyContents(in, out) &&
            fchmod(out, (sourceStatus.st_mode & 0777) | S_IWUSR) == 0;
  if (ok) {
    struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    futimens(out, times);
    ok = fsync(out) == 0;
  }
  if (ok && !named) ok = named = NameTemporary(out, directory, temporary, sizeof temporary);
  if (ok) ok = rename(temporary, target) == 0;
  int error = errno;
  if (!ok && named) unlink(temporary);
  close(out);
  close(in);
  if (!ok) return Fail(static_cast<uint32_t>(error));

  int directoryFd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directoryFd >= 0) {
    fsync(directoryFd);
    close(directoryFd);
  }
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
  } else {
    length = asprintf(&text, "%s", strerror(static_cast<int>(code)));
  }
  return length < 0 ? nullptr : text;
}

void PlatformFreeErrorText(char* text) { free(text); }

uint32_t PlatformNameTooLongError() { return ENAMETOOLONG; }
