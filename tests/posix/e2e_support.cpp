#include "tests/posix/e2e_support.h"

#include <dirent.h>
#include <net/if.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/texts.h"

namespace {

void MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0) ADD_FAILURE() << "mkdir " << path << ": " << strerror(errno);
}

void CopyProgram(const std::string& from, const std::string& to) {
  WriteFile(to, ReadFile(from));
  chmod(to.c_str(), 0755);
}

// In the child: the environment of a user with no display.
void PrepareChild(const GameDir& dir) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("XDG_RUNTIME_DIR", dir.runtime.c_str(), 1);
  if (chdir(dir.root.c_str()) != 0) _exit(126);
}

std::vector<char*> Argv(const GameDir& dir, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(dir.installer.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

bool OpenToOthers(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    struct stat status;
    if (stat(path.substr(0, slash).c_str(), &status) != 0 || !(status.st_mode & S_IXOTH)) {
      return false;
    }
  }
  return true;
}

GameDir MakeGameDir(const std::string& gameName) {
  GameDir dir;
  const char* tmpdir = getenv("TMPDIR");
  std::string base = tmpdir && *tmpdir ? tmpdir : "/tmp";
  if (!OpenToOthers(base + "/x")) base = "/tmp";
  std::string pattern = base + "/qlm-e2e-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) {
    ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    return dir;
  }
  dir.root = buffer.data();
  chmod(dir.root.c_str(), 0755);
  dir.game = dir.root + "/" + gameName;
  dir.levels = dir.game + "/Levels";
  dir.installer = dir.game + "/levelset-installer";
  dir.source = dir.root + "/src";
  dir.runtime = dir.root + "/run";
  MakeDirectory(dir.game);
  MakeDirectory(dir.source);
  MakeDirectory(dir.runtime);
  chmod(dir.runtime.c_str(), 0700);  // a runtime directory is its user's alone
  CopyProgram(INSTALLER_PATH, dir.installer);
  return dir;
}

void RemoveTree(const std::string& path) {
  if (path.empty()) return;
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return;
  if (S_ISDIR(status.st_mode)) {
    chmod(path.c_str(), 0755);
    for (const std::string& name : ListDirectory(path)) RemoveTree(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

unsigned ModeOf(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

int WatchOpens(const std::string& path) {
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, path.c_str(), IN_OPEN) < 0) ADD_FAILURE() << "inotify";
  return watch;
}

bool SawOpen(int watch) {
  char events[4096];
  ssize_t got = read(watch, events, sizeof events);
  close(watch);
  for (ssize_t at = 0; at < got;) {
    const inotify_event* event = reinterpret_cast<const inotify_event*>(events + at);
    if (event->mask & IN_OPEN) return true;
    at += static_cast<ssize_t>(sizeof *event + event->len);
  }
  return false;
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* directory = opendir(path.c_str())) {
    while (dirent* entry = readdir(directory)) {
      if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
        names.push_back(entry->d_name);
      }
    }
    closedir(directory);
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// Moves the calling process into a network namespace of its own, and
// names its loopback name and brings it up.
bool OwnNetwork(const std::string& name) {
  if (unshare(CLONE_NEWNET) != 0 || name.size() >= IFNAMSIZ) return false;
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  struct ifreq request = {};
  strcpy(request.ifr_name, "lo");
  strcpy(request.ifr_newname, name.c_str());
  bool ok = fd >= 0 && ioctl(fd, SIOCSIFNAME, &request) == 0;
  strcpy(request.ifr_name, name.c_str());
  ok = ok && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags |= IFF_UP;
  ok = ok && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

}  // namespace

pid_t StartHeadless(const GameDir& dir, const std::vector<std::string>& arguments, int* errorsFd,
                    const RunOptions& options) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv = Argv(dir, arguments);
  pid_t pid = fork();
  if (pid == 0) {
    PrepareChild(dir);
    if (options.fileSizeLimit >= 0) {
      struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                             static_cast<rlim_t>(options.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.umask >= 0) umask(static_cast<mode_t>(options.umask));
    for (const std::string& variable : options.environment) putenv(const_cast<char*>(variable.c_str()));
    // The sanitizers' runtime wants to be loaded first; a preloaded library
    // of the test's comes before it.
    if (getenv("LD_PRELOAD")) {
      const char* asan = getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
    }
    if (options.withoutProc &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount("none", "/proc", "tmpfs", 0, nullptr) != 0)) {
      _exit(126);
    }
    if (!options.loopbackName.empty() && !OwnNetwork(options.loopbackName)) _exit(126);
    if (options.group != static_cast<gid_t>(-1) &&
        (setgroups(0, nullptr) != 0 || setgid(options.group) != 0)) {
      _exit(126);
    }
    if (options.user != static_cast<uid_t>(-1) && setuid(options.user) != 0) _exit(126);
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  *errorsFd = pipeFds[0];
  return pid;
}

RunResult WaitFor(pid_t pid, int errorsFd) {
  RunResult result;
  char buffer[4096];
  for (;;) {
    ssize_t got = read(errorsFd, buffer, sizeof buffer);
    if (got > 0) {
      result.errors.append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    break;
  }
  close(errorsFd);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = DecodeStatus(status);
  return result;
}

RunResult RunHeadless(const GameDir& dir, const std::vector<std::string>& arguments,
                      const RunOptions& options) {
  int errorsFd = -1;
  pid_t pid = StartHeadless(dir, arguments, &errorsFd, options);
  if (pid < 0) return RunResult();
  return WaitFor(pid, errorsFd);
}

TerminalRun StartAtTerminal(const GameDir& dir, const std::vector<std::string>& arguments) {
  TerminalRun run;
  std::vector<char*> argv = Argv(dir, arguments);
  run.pid = forkpty(&run.master, nullptr, nullptr, nullptr);
  if (run.pid == 0) {
    PrepareChild(dir);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (run.pid < 0) ADD_FAILURE() << "forkpty: " << strerror(errno);
  return run;
}

bool WaitForText(TerminalRun& run, const std::string& text, size_t from, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (run.screen.find(text, from) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    struct pollfd poller = {run.master, POLLIN, 0};
    if (poll(&poller, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    ssize_t got = read(run.master, buffer, sizeof buffer);
    if (got <= 0) return run.screen.find(text, from) != std::string::npos;
    run.screen.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

void Type(TerminalRun& run, const std::string& keys) {
  if (write(run.master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
    ADD_FAILURE() << "cannot type at the terminal";
  }
}

int Finish(TerminalRun& run) {
  // Read what is left so the installer never blocks on a full terminal.
  char buffer[4096];
  for (;;) {
    struct pollfd poller = {run.master, POLLIN, 0};
    if (poll(&poller, 1, 20000) <= 0) break;
    ssize_t got = read(run.master, buffer, sizeof buffer);
    if (got <= 0) break;
    run.screen.append(buffer, static_cast<size_t>(got));
  }
  int status = 0;
  pid_t ended = 0;
  for (int wait = 0; wait < 500 && (ended = waitpid(run.pid, &status, WNOHANG)) == 0; ++wait) {
    usleep(10000);
  }
  if (ended == 0) {
    ADD_FAILURE() << "the installer still waits at the terminal";
    kill(run.pid, SIGKILL);
    while (waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  close(run.master);
  return DecodeStatus(status);
}

GameLock HoldGameLock(const GameDir& dir) {
  GameLock lock;
  std::string path = dir.runtime + "/" + kGameLockName;
  lock.fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock.fd < 0 || flock(lock.fd, LOCK_EX) != 0) ADD_FAILURE() << "cannot hold the game lock";
  return lock;
}

void Release(GameLock& lock) {
  if (lock.fd >= 0) close(lock.fd);
  lock.fd = -1;
}
