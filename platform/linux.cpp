// What the POSIX backend takes from Linux: the program's own path from
// /proc, files that get a name only when they are whole, the kernel's copy,
// and random bytes.
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix_system.h"

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

int OpenUnnamedFile(int directory) {
  int fd = openat(directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  // Older kernels and some file systems say so in other words.
  if (fd < 0 && (errno == EISDIR || errno == EINVAL)) errno = EOPNOTSUPP;
  return fd;
}

bool NameUnnamedFile(int fd, int directory, const char* name) {
  char procPath[64];
  snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
  if (linkat(AT_FDCWD, procPath, directory, name, AT_SYMLINK_FOLLOW) == 0) return true;
  // Without /proc, linking by descriptor needs a privilege we may have.
  return errno == ENOENT && linkat(fd, "", directory, name, AT_EMPTY_PATH) == 0;
}

int CopyInKernel(int in, int out) {
  for (;;) {
    ssize_t copied = copy_file_range(in, nullptr, out, nullptr, 1u << 30, 0);
    if (copied > 0) continue;
    if (copied == 0) return 1;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
        errno == EBADF) {
      return 0;
    }
    return -1;
  }
}

bool RandomBytes(void* out, size_t size) {
  return getrandom(out, size, 0) == static_cast<ssize_t>(size);
}
