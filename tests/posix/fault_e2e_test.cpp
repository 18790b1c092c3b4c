// Real faults against the built program: killed in the middle of a copy, a
// Levels directory it may not write, and a source that is gone by the time
// the user has said Yes. The program runs as a user runs it, from a copy in
// a game directory of its own, with no display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/posix/e2e_support.h"
#include "tests/texts.h"

namespace {

// A game directory whose Levels holds an old installed copy. The tree is
// open to every user, so that the program can run as one without rights.
class FaultEndToEnd : public ::testing::Test {
 protected:
  GameDir dir;
  const std::string oldCopy = std::string(4096, 'o') + "old level set";

  void SetUp() override {
    dir = MakeGameDir();
    ASSERT_EQ(0, mkdir(dir.levels.c_str(), 0755)) << strerror(errno);
    WriteFile(dir.levels + "/Reef.qlm", oldCopy);
  }

  void TearDown() override { RemoveTree(dir.root); }
};

// Whether the process has a file open in directory (the unnamed copy).
bool HasFileOpenIn(pid_t pid, const std::string& directory) {
  std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const std::string& name : ListDirectory(fds)) {
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
  const std::string big = dir.source + "/Reef.qlm";
  int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, 512ll << 20));
  ASSERT_EQ(1, pwrite(fd, "x", 1, (512ll << 20) - 1));
  close(fd);

  int errors = -1;
  pid_t pid = StartHeadless(dir, {big}, &errors);
  ASSERT_GT(pid, 0);
  // Kill it once its unnamed copy is open in Levels and being written.
  bool underWay = false;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
       std::chrono::steady_clock::now() < until;) {
    if (HasFileOpenIn(pid, dir.levels)) {
      underWay = true;
      break;
    }
    int waitStatus;
    if (waitpid(pid, &waitStatus, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGKILL);
  RunResult result = WaitFor(pid, errors);

  ASSERT_TRUE(underWay) << "the copy was never seen under way:\n" << result.errors;
  EXPECT_EQ(128 + SIGKILL, result.status)
      << "the copy ended before it could be killed:\n" << result.errors;
  EXPECT_EQ(std::vector<std::string>{"Reef.qlm"}, ListDirectory(dir.levels)) << "a temporary file was left";
  EXPECT_EQ(oldCopy, ReadFile(dir.levels + "/Reef.qlm")) << "the old copy was not left whole";
}

TEST_F(FaultEndToEnd, ALevelsDirectoryThatCannotBeWrittenIsReported) {
  // Root writes anywhere: run as a user without rights, where there is one.
  RunOptions options;
  if (geteuid() == 0) {
    passwd* nobody = getpwnam("nobody");
    if (!nobody) GTEST_SKIP() << "no user without rights to run as";
    if (!OpenToOthers(dir.root)) {
      GTEST_SKIP() << dir.root << " lies in a directory closed to other users";
    }
    options.user = nobody->pw_uid;
    options.group = nobody->pw_gid;
  }
  ASSERT_EQ(0, chmod(dir.levels.c_str(), 0555));
  const std::string source = dir.source + "/Reef-2.qlm";
  WriteFile(source, "new level set");

  RunResult result = RunHeadless(dir, {source}, options);
  const std::string& text = result.errors;

  EXPECT_EQ(0, result.status) << text;
  const Box failure = CopyErrorBox(source, "Permission denied");
  EXPECT_NE(std::string::npos, text.find(failure.caption + "\n" + failure.text + "\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("has been installed")) << text;
  EXPECT_EQ(std::vector<std::string>{"Reef.qlm"}, ListDirectory(dir.levels));
  EXPECT_EQ(oldCopy, ReadFile(dir.levels + "/Reef.qlm"));
}

TEST_F(FaultEndToEnd, ASourceGoneBeforeTheCopyIsReported) {
  // At a terminal the question waits for the user: the file goes away while
  // it is asked, and then the user says Yes.
  const std::string source = dir.source + "/Reef[3].qlm";
  WriteFile(source, "new level set");
  TerminalRun run = StartAtTerminal(dir, {source});
  ASSERT_GT(run.pid, 0);

  ASSERT_TRUE(WaitForText(run, "[Y]es / [N]o: ", 0, 30)) << run.screen;
  ASSERT_EQ(0, unlink(source.c_str()));
  size_t answered = run.screen.size();
  Type(run, "y\n");
  ASSERT_TRUE(WaitForText(run, "[O]K: ", answered, 30)) << run.screen;
  std::string after = run.screen.substr(answered);
  Type(run, "\n");
  int status = Finish(run);

  EXPECT_EQ(0, status) << run.screen;
  EXPECT_NE(std::string::npos, after.find(kCopyErrorCaption)) << after;
  EXPECT_NE(std::string::npos, after.find("The Level Set: \"" + source + "\" could not be installed"))
      << after;
  EXPECT_NE(std::string::npos, after.find("\tNo such file or directory")) << after;
  EXPECT_EQ(std::string::npos, after.find("has been installed")) << after;
  EXPECT_EQ(std::vector<std::string>{"Reef.qlm"}, ListDirectory(dir.levels));
  EXPECT_EQ(oldCopy, ReadFile(dir.levels + "/Reef.qlm"));
}

}  // namespace
