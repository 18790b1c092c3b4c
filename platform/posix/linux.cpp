// What the POSIX backend takes from Linux: the program's own path from
// /proc, entries named without being opened (O_PATH) and opened for reading
// through /proc, files that get a name only when they are whole, the
// kernel's copy, the mount a file lies on, and random bytes.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/random.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/posix_system.h"

ssize_t ReadProgramPath(char* buffer, size_t size) {
  return readlink("/proc/self/exe", buffer, size);
}

int OpenEntry(int directory, const char* name, int flags) {
  return openat(directory, name, O_PATH | O_NOFOLLOW | O_CLOEXEC | flags);
}

ssize_t ReadEntryLink(int entry, char* buffer, size_t size) {
  return readlinkat(entry, "", buffer, size);
}

int OpenEntryForReading(int entry) {
  // The descriptor's own entry in /proc names the file it stands for, not
  // whatever its name stands for by now.
  char procPath[64];
  snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", entry);
  return open(procPath, O_RDONLY | O_CLOEXEC | O_NOCTTY);
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

bool OwnersCameWithTheMedium(int entry) {
  struct statfs kind;
  struct statvfs mount;
  if (fstatfs(entry, &kind) != 0 || fstatvfs(entry, &mount) != 0) return true;
  if (kind.f_type == FUSE_SUPER_MAGIC) return true;
  bool kernelOwners = kind.f_type == TMPFS_MAGIC || kind.f_type == RAMFS_MAGIC ||
                      kind.f_type == PROC_SUPER_MAGIC || kind.f_type == SYSFS_MAGIC;
  return (mount.f_flag & ST_NOSUID) != 0 && !kernelOwners;
}

bool OnTheSystemsOwnFileSystem(int entry) {
  // The kernel's own that <linux/magic.h> leaves out: configfs and the FUSE
  // connections (below /sys too), and the message queues, whose files any
  // user may name.
  constexpr long kConfigFs = 0x62656570, kFuseConnections = 0x65735543, kMessageQueues = 0x19800202;
  struct statfs kind;
  if (fstatfs(entry, &kind) != 0) return true;
  switch (kind.f_type) {
    case PROC_SUPER_MAGIC: case SYSFS_MAGIC: case DEBUGFS_MAGIC: case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC: case CGROUP_SUPER_MAGIC: case CGROUP2_SUPER_MAGIC:
    case PSTOREFS_MAGIC: case EFIVARFS_MAGIC: case BPF_FS_MAGIC: case SELINUX_MAGIC:
    case SMACK_MAGIC: case BINFMTFS_MAGIC: case kConfigFs: case kFuseConnections:
    case kMessageQueues:
      return true;
    default:
      return false;
  }
}

bool RandomBytes(void* out, size_t size) {
  return getrandom(out, size, 0) == static_cast<ssize_t>(size);
}
