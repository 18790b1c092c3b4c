// Preloaded into the installer (LD_PRELOAD) by end-to-end rows. The first
// time the installer opens the name LEVELSET_SWAP_NAME, by its whole path
// or by its last part (as a walk name by name opens it), LEVELSET_SWAP_LINK
// is renamed over that name just before the open goes on: whatever the
// installer checked by name before then no longer holds, every time, with
// no race to win. With LEVELSET_NO_TMPFILE set, a file with no name cannot
// be made, as on a kernel that knows no such files.
#undef _FORTIFY_SOURCE  // the open calls are defined here, not inlined
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void SwapBefore(const char* path) {
  static bool swapped = false;
  const char* name = getenv("LEVELSET_SWAP_NAME");
  const char* link = getenv("LEVELSET_SWAP_LINK");
  if (swapped || !name || !link || !path) return;
  const char* last = strrchr(name, '/');
  if (strcmp(path, name) != 0 && strcmp(path, last ? last + 1 : name) != 0) return;
  swapped = true;
  rename(link, name);
}

template <typename Function>
Function Next(const char* symbol) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, symbol));
}

}  // namespace

// The mode argument is there only when a file may be made.
#define LEVELSET_MODE_ARGUMENT(flags)           \
  mode_t mode = 0;                              \
  if ((flags) & (O_CREAT | O_TMPFILE)) {        \
    va_list rest;                               \
    va_start(rest, flags);                      \
    mode = static_cast<mode_t>(va_arg(rest, int)); \
    va_end(rest);                               \
  }

extern "C" int open(const char* path, int flags, ...) {
  LEVELSET_MODE_ARGUMENT(flags);
  SwapBefore(path);
  return Next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}

extern "C" int openat(int directory, const char* path, int flags, ...) {
  LEVELSET_MODE_ARGUMENT(flags);
  if ((flags & O_TMPFILE) == O_TMPFILE && getenv("LEVELSET_NO_TMPFILE")) {
    errno = EISDIR;
    return -1;
  }
  SwapBefore(path);
  return Next<int (*)(int, const char*, int, ...)>("openat")(directory, path, flags, mode);
}

// What a fortified build calls where the flags are not known when compiled.
extern "C" int __open_2(const char* path, int flags) {
  SwapBefore(path);
  return Next<int (*)(const char*, int)>("__open_2")(path, flags);
}

extern "C" int __openat_2(int directory, const char* path, int flags) {
  SwapBefore(path);
  return Next<int (*)(int, const char*, int)>("__openat_2")(directory, path, flags);
}
