// Real faults against the built program: killed in the middle of a copy, a
// Levels directory it may not write, and a source that is gone by the time
// the user has said Yes. The program runs as a user runs it, from a copy in
// a game directory of its own, with no display.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <signal.h>
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
#include <string>
#include <thread>
#include <vector>

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteAll(const std::string& path, const std::string& contents, mode_t mode = 0644) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    ASSERT_TRUE(out.good()) << "writing " << path;
  }
  chmod(path.c_str(), mode);
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* d = opendir(directory.c_str())) {
    while (dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return;
  if (S_ISDIR(status.st_mode)) {
    chmod(path.c_str(), 0755);
    for (const std::string& name : Names(path)) RemoveTree(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

int Status(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Whether every directory above path lets other users through.
bool OpenToOthers(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    struct stat status;
    if (stat(path.substr(0, slash).c_str(), &status) != 0 || !(status.st_mode & S_IXOTH)) return false;
  }
  return true;
}

// root/game holds a copy of the program and Levels with an old installed
// copy; root/src the level sets; root/run the runtime directory. Everything
// is open to every user, so that the program can run as one without rights.
class FaultEndToEnd : public ::testing::Test {
 protected:
  std::string root, game, levels, installer, src, run;
  const std::string oldCopy = std::string(4096, 'o') + "old level set";

  void SetUp() override {
    // The tree must be reachable by a user without rights (see below).
    const char* tmpdir = getenv("TMPDIR");
    std::string base = tmpdir && *tmpdir ? tmpdir : "/tmp";
    if (!OpenToOthers(base + "/x")) base = "/tmp";
    std::string pattern = base + "/qlm-fault-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    ASSERT_NE(nullptr, mkdtemp(buffer.data())) << strerror(errno);
    root = buffer.data();
    game = root + "/game";
    levels = game + "/Levels";
    installer = game + "/levelset-installer";
    src = root + "/src";
    run = root + "/run";
    chmod(root.c_str(), 0755);
    for (const std::string& d : {game, levels, src, run}) {
      ASSERT_EQ(0, mkdir(d.c_str(), 0755)) << d << ": " << strerror(errno);
    }
    WriteAll(installer, ReadAll(INSTALLER_PATH), 0755);
    WriteAll(levels + "/Reef.qlm", oldCopy);
  }

  void TearDown() override {
    if (!root.empty()) RemoveTree(root);
  }

  // In the child, before exec: no display, our runtime directory, and
  // optionally the rights of another user.
  void PrepareChild(uid_t uid, gid_t gid) const {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    if (chdir(root.c_str()) != 0) _exit(126);
    if (gid != static_cast<gid_t>(-1) && (setgroups(0, nullptr) != 0 || setgid(gid) != 0)) _exit(126);
    if (uid != static_cast<uid_t>(-1) && setuid(uid) != 0) _exit(126);
  }

  // Starts the program headless: standard input empty, standard error into
  // *errors (a pipe's read end).
  pid_t Start(const std::string& argument, int* errors, uid_t uid = -1, gid_t gid = -1) const {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
      PrepareChild(uid, gid);
      int null = open("/dev/null", O_RDWR);
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(pipeFds[1], STDERR_FILENO);
      execl(installer.c_str(), installer.c_str(), argument.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[1]);
    *errors = pipeFds[0];
    return pid;
  }

  // Reads standard error to its end and waits for the program.
  static int Wait(pid_t pid, int errors, std::string* text) {
    char chunk[4096];
    for (ssize_t got; (got = read(errors, chunk, sizeof chunk)) != 0;) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      text->append(chunk, static_cast<size_t>(got));
    }
    close(errors);
    int waitStatus = 0;
    while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    return Status(waitStatus);
  }
};

// Whether the process has a file open in directory (the unnamed copy).
bool HasFileOpenIn(pid_t pid, const std::string& directory) {
  std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const std::string& name : Names(fds)) {
    char target[4096];
    ssize_t length = readlink((fds + "/" + name).c_str(), target, sizeof target - 1);
    if (length <= 0) continue;
    target[length] = '\0';
    if (strncmp(target, (directory + "/").c_str(), directory.size() + 1) == 0) return true;
  }
  return false;
}

TEST_F(FaultEndToEnd, KilledWhileCopyingLeavesTheOldCopyAndNoTemporaryFile) {
  // 512 MiB, sparse: nothing on disk, but every byte is copied and synced.
  const std::string big = src + "/Reef.qlm";
  int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, 512ll << 20));
  ASSERT_EQ(1, pwrite(fd, "x", 1, (512ll << 20) - 1));
  close(fd);

  int errors = -1;
  pid_t pid = Start(big, &errors);
  ASSERT_GT(pid, 0);
  // Kill it once its unnamed copy is open in Levels and being written.
  bool underWay = false;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
       std::chrono::steady_clock::now() < until;) {
    if (HasFileOpenIn(pid, levels)) {
      underWay = true;
      break;
    }
    int waitStatus;
    if (waitpid(pid, &waitStatus, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGKILL);
  std::string text;
  int status = Wait(pid, errors, &text);

  ASSERT_TRUE(underWay) << "the copy was never seen under way:\n" << text;
  EXPECT_EQ(128 + SIGKILL, status) << "the copy ended before it could be killed:\n" << text;
  EXPECT_EQ(std::vector<std::string>{"Reef.qlm"}, Names(levels)) << "a temporary file was left";
  EXPECT_EQ(oldCopy, ReadAll(levels + "/Reef.qlm")) << "the old copy was not left whole";
}

TEST_F(FaultEndToEnd, ALevelsDirectoryThatCannotBeWrittenIsReported) {
  // Root writes anywhere: run as a user without rights, where there is one.
  uid_t uid = -1;
  gid_t gid = -1;
  if (geteuid() == 0) {
    passwd* nobody = getpwnam("nobody");
    if (!nobody) GTEST_SKIP() << "no user without rights to run as";
    if (!OpenToOthers(root)) GTEST_SKIP() << root << " lies in a directory closed to other users";
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
  }
  ASSERT_EQ(0, chmod(levels.c_str(), 0555));
  const std::string source = src + "/Reef-2.qlm";
  WriteAll(source, "new level set");

  int errors = -1;
  pid_t pid = Start(source, &errors, uid, gid);
  ASSERT_GT(pid, 0);
  std::string text;
  int status = Wait(pid, errors, &text);

  EXPECT_EQ(0, status) << text;
  EXPECT_NE(std::string::npos,
            text.find("Error Installing Level Set\nThe Level Set: \"" + source +
                      "\" could not be installed, due to the following error:\n\tPermission "
                      "denied\n"))
      << text;
  EXPECT_EQ(std::string::npos, text.find("has been installed")) << text;
  EXPECT_EQ(std::vector<std::string>{"Reef.qlm"}, Names(levels));
  EXPECT_EQ(oldCopy, ReadAll(levels + "/Reef.qlm"));
}

TEST_F(FaultEndToEnd, ASourceGoneBeforeTheCopyIsReported) {
  // At a terminal the question waits for the user: the file goes away while
  // it is asked, and then the user says Yes.
  const std::string source = src + "/Reef[3].qlm";
  WriteAll(source, "new level set");
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    PrepareChild(-1, -1);
    execl(installer.c_str(), installer.c_str(), source.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string screen;
  auto waitFor = [&](const std::string& wanted, size_t from) {
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
         std::chrono::steady_clock::now() < until;) {
      if (screen.find(wanted, from) != std::string::npos) return true;
      pollfd p = {master, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char chunk[1024];
      ssize_t got = read(master, chunk, sizeof chunk);
      if (got <= 0) return screen.find(wanted, from) != std::string::npos;
      screen.append(chunk, static_cast<size_t>(got));
    }
    return false;
  };

  ASSERT_TRUE(waitFor("[Y]es / [N]o: ", 0)) << screen;
  ASSERT_EQ(0, unlink(source.c_str()));
  size_t answered = screen.size();
  ASSERT_EQ(2, write(master, "y\n", 2));
  ASSERT_TRUE(waitFor("[O]K: ", answered)) << screen;
  std::string after = screen.substr(answered);
  ASSERT_EQ(1, write(master, "\n", 1));
  waitFor("\n", screen.size());
  int waitStatus = 0;
  ASSERT_EQ(pid, waitpid(pid, &waitStatus, 0));
  close(master);

  EXPECT_EQ(0, Status(waitStatus)) << screen;
  EXPECT_NE(std::string::npos, after.find("Error Installing Level Set")) << after;
  EXPECT_NE(std::string::npos, after.find("The Level Set: \"" + source + "\" could not be installed"))
      << after;
  EXPECT_NE(std::string::npos, after.find("\tNo such file or directory")) << after;
  EXPECT_EQ(std::string::npos, after.find("has been installed")) << after;
  EXPECT_EQ(std::vector<std::string>{"Reef.qlm"}, Names(levels));
  EXPECT_EQ(oldCopy, ReadAll(levels + "/Reef.qlm"));
}

}  // namespace
