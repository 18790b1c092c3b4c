// The built installer as a user runs it: headless, at a terminal, with a
// game holding its lock, under a file-size limit, and many at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/posix/e2e_support.h"

namespace {

std::string Box(const std::string& caption, const std::string& text) {
  return caption + "\n" + text + "\n\n";
}
std::string Question(const std::string& name) {
  return Box("Quillomar",
             "Would you like to install the level set \"" + name + "\" into your Quillomar game?");
}
std::string Done(const std::string& name) {
  return Box("Level Set Installed", "The level set \"" + name +
                                        "\" has been installed.\n\nYou can play it by running "
                                        "Quillomar.");
}
std::string Already(const std::string& name) {
  return Box("Level Set Installed", "The level set \"" + name +
                                        "\" is already installed.\n\nYou can play it by running "
                                        "Quillomar.");
}
std::string NotFound(const std::string& path) {
  return Box("Level Set Not Found",
             "The named file: \"" + path +
                 "\" could not be found, so it could not be installed as a Quillomar level set");
}
std::string Invalid(const std::string& path) {
  return Box("Invalid File", "The named file: \"" + path + "\" is not a Quillomar level set");
}
const char kRunningText[] =
    "You can not install level sets while Quillomar is running.  Quillomar (or another Morvalic "
    "game) is running on this computer and must be closed before you can continue.\n\nIf you "
    "want to install the level set, close the game and click retry";
std::string Running() { return Box("Quillomar is Running", kRunningText); }
std::string CopyError(const std::string& path, const std::string& text) {
  return Box("Error Installing Level Set",
             "The Level Set: \"" + path +
                 "\" could not be installed, due to the following error:\n\t" + text);
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeGameDir(); }
  void TearDown() override { RemoveTree(dir_.root); }
  GameDir dir_;
};

struct HeadlessCase {
  const char* name;
  // Prepares the tree; returns the arguments to run with and the expected
  // standard error, exit status and installed file (empty: none).
  void (*prepare)(const GameDir& dir, std::vector<std::string>* arguments, std::string* errors,
                  int* status, std::string* installed);
};

TEST_F(EndToEnd, HeadlessRunsSayWhatHappenedOnStandardError) {
  const HeadlessCase cases[] = {
      {"the road of one request",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string* i) {
         WriteFile(d.source + "/Ocean%20Set[2].qlm", "ocean");
         *a = {d.source + "/Ocean%20Set[2].qlm"};
         *e = Question("Ocean Set") + Done("Ocean Set");
         *s = 1;
         *i = d.levels + "/Ocean Set.qlm";
       }},
      {"a path that the shell split at its blanks",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string* i) {
         WriteFile(d.source + "/Deep  Sea-2.qlm", "deep");
         *a = {d.source + "/Deep", "", "Sea-2.qlm"};
         *e = Question("Deep  Sea") + Done("Deep  Sea");
         *s = 1;
         *i = d.levels + "/Deep  Sea.qlm";
       }},
      {"a quoted path among other words",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string* i) {
         WriteFile(d.source + "/Reef.QLM", "reef");
         *a = {"--open", "\"" + d.source + "/Reef.QLM\"", "now"};
         *e = Question("Reef") + Done("Reef");
         *s = 1;
         *i = d.levels + "/Reef.QLM";
       }},
      {"no arguments", [](const GameDir&, std::vector<std::string>* a, std::string* e, int* s,
                          std::string*) {
         *a = {};
         *e = "";
         *s = 0;
       }},
      {"a missing file",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string*) {
         *a = {d.source + "/gone.qlm"};
         *e = NotFound(d.source + "/gone.qlm");
         *s = 0;
       }},
      {"a file of another type",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string*) {
         WriteFile(d.source + "/notes.txt", "notes");
         *a = {d.source + "/notes.txt"};
         *e = Invalid(d.source + "/notes.txt");
         *s = 0;
       }},
      {"the installed copy itself",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string*) {
         mkdir(d.levels.c_str(), 0755);
         WriteFile(d.levels + "/Ocean.qlm", "installed");
         *a = {d.levels + "/Ocean.qlm"};
         *e = Question("Ocean") + Already("Ocean");
         *s = 0;
       }},
      {"the installed copy by another path is copied onto itself and kept",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string*) {
         mkdir(d.levels.c_str(), 0755);
         WriteFile(d.levels + "/Ocean.qlm", "installed");
         std::string other = d.game + "/./Levels/Ocean.qlm";
         *a = {other};
         *e = Question("Ocean") +
              CopyError(other, "'" + other + "' and '" + d.levels + "/Ocean.qlm' are the same file");
         *s = 0;
       }},
      {"a directory named like a level set",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string*) {
         mkdir((d.source + "/Folder.qlm").c_str(), 0755);
         *a = {d.source + "/Folder.qlm"};
         *e = Question("Folder") + CopyError(d.source + "/Folder.qlm", "Is a directory");
         *s = 0;
       }},
      {"a name that would take over the terminal is shown escaped",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string* i) {
         WriteFile(d.source + "/\x1b]0;owned\x07\xff.qlm", "evil");
         *a = {d.source + "/\x1b]0;owned\x07\xff.qlm"};
         *e = Question("\\x1b]0;owned\\x07\\xff") + Done("\\x1b]0;owned\\x07\\xff");
         *s = 1;
         *i = d.levels + "/\x1b]0;owned\x07\xff.qlm";
       }},
      {"a lock file left behind by a game that ended",
       [](const GameDir& d, std::vector<std::string>* a, std::string* e, int* s, std::string* i) {
         WriteFile(d.runtime + "/QovCurrentlyRunningMutex", "");
         WriteFile(d.source + "/Tide.qlm", "tide");
         *a = {d.source + "/Tide.qlm"};
         *e = Question("Tide") + Done("Tide");
         *s = 1;
         *i = d.levels + "/Tide.qlm";
       }},
  };
  for (const HeadlessCase& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(dir_.root);
    dir_ = MakeGameDir();
    std::vector<std::string> arguments;
    std::string errors, installed;
    int status = -1;
    c.prepare(dir_, &arguments, &errors, &status, &installed);
    std::vector<std::string> levelsBefore = ListDirectory(dir_.levels);

    RunResult result = RunHeadless(dir_, arguments);

    EXPECT_EQ(status, result.status);
    EXPECT_EQ(errors, result.errors);
    if (!installed.empty()) {
      EXPECT_EQ(std::vector<std::string>{installed.substr(dir_.levels.size() + 1)},
                ListDirectory(dir_.levels));
      EXPECT_NE("", ReadFile(installed));
    } else {
      EXPECT_EQ(levelsBefore, ListDirectory(dir_.levels)) << "nothing may change";
    }
  }
}

TEST_F(EndToEnd, AGameDirectoryHoldingPercent20GetsTheCopyInItsOwnLevels) {
  RemoveTree(dir_.root);
  dir_ = MakeGameDir("My%20Game");
  WriteFile(dir_.source + "/Ocean%20Set.qlm", "ocean");
  RunResult result = RunHeadless(dir_, {dir_.source + "/Ocean%20Set.qlm"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ocean", ReadFile(dir_.root + "/My%20Game/Levels/Ocean Set.qlm"));
  EXPECT_FALSE(Exists(dir_.root + "/My Game"));
}

TEST_F(EndToEnd, AHeadlessRunEndsWhileTheGameRuns) {
  WriteFile(dir_.source + "/Ocean.qlm", "ocean");
  GameLock game = HoldGameLock(dir_);
  RunResult result = RunHeadless(dir_, {dir_.source + "/Ocean.qlm"});
  Release(game);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(Question("Ocean") + Running(), result.errors);
  EXPECT_FALSE(Exists(dir_.levels));
}

TEST_F(EndToEnd, AFileSizeLimitLeavesTheOldCopyWhole) {
  mkdir(dir_.levels.c_str(), 0755);
  WriteFile(dir_.levels + "/Big.qlm", "the old copy");
  WriteFile(dir_.source + "/Big.qlm", std::string(4 << 20, 'n'));
  RunOptions options;
  options.fileSizeLimit = 1 << 20;
  RunResult result = RunHeadless(dir_, {dir_.source + "/Big.qlm"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(Question("Big") + CopyError(dir_.source + "/Big.qlm", "File too large"), result.errors);
  EXPECT_EQ("the old copy", ReadFile(dir_.levels + "/Big.qlm"));
  EXPECT_EQ(std::vector<std::string>{"Big.qlm"}, ListDirectory(dir_.levels));
}

TEST_F(EndToEnd, SixteenInstallersOntoOneNameLeaveOneWholeCopy) {
  const int kCount = 16;
  const size_t kSize = 2 << 20;
  std::vector<std::string> contents;
  for (int i = 0; i < kCount; ++i) {
    std::string folder = dir_.source + "/" + std::to_string(i);
    mkdir(folder.c_str(), 0755);
    contents.push_back(std::string(kSize, static_cast<char>('a' + i)));
    WriteFile(folder + "/Storm-" + std::to_string(i) + ".qlm", contents.back());
  }
  std::vector<pid_t> pids(kCount);
  std::vector<int> errorFds(kCount);
  for (int i = 0; i < kCount; ++i) {
    std::string path = dir_.source + "/" + std::to_string(i) + "/Storm-" + std::to_string(i) + ".qlm";
    pids[i] = StartHeadless(dir_, {path}, &errorFds[i]);
  }
  for (int i = 0; i < kCount; ++i) {
    SCOPED_TRACE(i);
    RunResult result = WaitFor(pids[i], errorFds[i]);
    EXPECT_EQ(1, result.status) << result.errors;
  }
  std::string installed = ReadFile(dir_.levels + "/Storm.qlm");
  bool whole = false;
  for (const std::string& one : contents) whole = whole || installed == one;
  EXPECT_TRUE(whole) << "the installed copy is a mix or cut short";
  EXPECT_EQ(std::vector<std::string>{"Storm.qlm"}, ListDirectory(dir_.levels));
}

TEST_F(EndToEnd, AtATerminalTheUserAnswers) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;  // typed after each prompt, in order
    int status;
    bool installed;
  };
  const Case cases[] = {
      {"No", {"n\n"}, 0, false},
      {"Yes, then OK", {"Y\n", "\n"}, 1, true},
      {"Enter alone picks Yes", {"\n", "o\n"}, 1, true},
      {"a wrong answer asks again", {"maybe\n", "no\n"}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(dir_.root);
    dir_ = MakeGameDir();
    WriteFile(dir_.source + "/Ocean%20Set[2].qlm", "ocean");
    TerminalRun run = StartAtTerminal(dir_, {dir_.source + "/Ocean%20Set[2].qlm"});
    ASSERT_TRUE(WaitForText(run, "\"Ocean Set\" into your Quillomar game?")) << run.screen;
    size_t from = 0;
    for (const std::string& keys : c.keys) {
      ASSERT_TRUE(WaitForText(run, ": ", from)) << run.screen;
      from = run.screen.size();
      Type(run, keys);
      // Past the echo of what was typed, and no further: the next prompt may
      // already have come in the same read.
      ASSERT_TRUE(WaitForText(run, "\n", from, 5)) << run.screen;
      from = run.screen.find('\n', from) + 1;
    }
    EXPECT_EQ(c.status, Finish(run)) << run.screen;
    EXPECT_EQ(c.installed, Exists(dir_.levels + "/Ocean Set.qlm"));
  }
}

TEST_F(EndToEnd, AtATerminalRetryWaitsUntilTheGameHasEnded) {
  WriteFile(dir_.source + "/Ocean.qlm", "ocean");
  GameLock game = HoldGameLock(dir_);
  TerminalRun run = StartAtTerminal(dir_, {dir_.source + "/Ocean.qlm"});
  ASSERT_TRUE(WaitForText(run, "[Y]es / [N]o: ")) << run.screen;
  Type(run, "y\n");
  ASSERT_TRUE(WaitForText(run, "[R]etry / [C]ancel: ")) << run.screen;
  size_t firstWarning = run.screen.size();
  Type(run, "r\n");
  // Still running: the warning comes again.
  ASSERT_TRUE(WaitForText(run, "[R]etry / [C]ancel: ", firstWarning)) << run.screen;
  EXPECT_FALSE(Exists(dir_.levels + "/Ocean.qlm"));
  Release(game);
  size_t secondWarning = run.screen.size();
  Type(run, "R\n");
  ASSERT_TRUE(WaitForText(run, "has been installed", secondWarning)) << run.screen;
  ASSERT_TRUE(WaitForText(run, "[O]K: ", secondWarning)) << run.screen;
  Type(run, "\n");
  EXPECT_EQ(1, Finish(run));
  EXPECT_EQ("ocean", ReadFile(dir_.levels + "/Ocean.qlm"));
}

TEST_F(EndToEnd, AtATerminalCancelLeavesEverythingAlone) {
  WriteFile(dir_.source + "/Ocean.qlm", "ocean");
  GameLock game = HoldGameLock(dir_);
  TerminalRun run = StartAtTerminal(dir_, {dir_.source + "/Ocean.qlm"});
  ASSERT_TRUE(WaitForText(run, "[Y]es / [N]o: ")) << run.screen;
  Type(run, "y\n");
  ASSERT_TRUE(WaitForText(run, "Quillomar is Running\r\n")) << run.screen;
  ASSERT_TRUE(WaitForText(run, "[R]etry / [C]ancel: ")) << run.screen;
  Type(run, "c\n");
  EXPECT_EQ(0, Finish(run));
  Release(game);
  EXPECT_FALSE(Exists(dir_.levels));
}

}  // namespace
