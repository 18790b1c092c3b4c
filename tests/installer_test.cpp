// The installer flow against the scripted platform: every end of the run,
// with its boxes, its exit status and what it did to the files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialogue/installer.h"
#include "levelset/levelset.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "tests/texts.h"

namespace {

const char kGame[] = "C:\\Games\\Quillomar";
const char kLevels[] = "C:\\Games\\Quillomar\\Levels";
const char kOcean[] = "C:\\Temp\\Ocean%20Set[2].qlm";
const char kInstalledOcean[] = "C:\\Games\\Quillomar\\Levels\\Ocean Set.qlm";

// A game installed in C:\Games\Quillomar, and the level set of the example
// request, Ocean%20Set[2].qlm, waiting in C:\Temp.
void StandardMachine() {
  Fake().directories = {"C:", "C:\\Games", kGame, "C:\\Temp"};
  Fake().files[kOcean] = "ocean";
  Fake().files["C:\\Temp\\notes.txt"] = "notes";
}

struct FlowCase {
  const char* name;
  const char* tail;  // null: no tail at all
  void (*prepare)() = nullptr;
  std::vector<int> answers = {};
  int gameRunningChecks = 0;
  std::vector<Box> boxes = {};
  int status = 0;
  const char* installedPath = nullptr;  // where the copy must be, or null for no copy
};

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

bool AnyCopy() {
  for (const std::string& call : Fake().calls) {
    if (call.rfind("Copy ", 0) == 0 || call.rfind("CreateDirectory ", 0) == 0) return true;
  }
  return false;
}

TEST_F(FlowTest, EveryEndOfTheRun) {
  const Box question = QuestionBox("Ocean Set"), done = DoneBox("Ocean Set");
  const FlowCase cases[] = {
      {.name = "the road of one request", .tail = "\"C:\\Temp\\Ocean%20Set[2].qlm\"",
       .answers = {kAnswerYes}, .boxes = {question, done}, .status = 1,
       .installedPath = kInstalledOcean},
      {.name = "no tail at all", .tail = nullptr},
      {.name = "an empty tail", .tail = ""},
      {.name = "a missing file", .tail = "C:\\Temp\\gone.qlm",
       .boxes = {NotFoundBox("C:\\Temp\\gone.qlm")}},
      {.name = "a file of another type", .tail = "C:\\Temp\\notes.txt",
       .boxes = {InvalidBox("C:\\Temp\\notes.txt")}},
      {.name = "the user says No", .tail = kOcean, .answers = {kAnswerNo}, .boxes = {question}},
      {.name = "a question that could not be shown goes on", .tail = kOcean,
       .answers = {kAnswerNone, kAnswerNone}, .boxes = {question, done}, .status = 1,
       .installedPath = kInstalledOcean},
      {.name = "the installed copy in other letter cases",
       .tail = "\"c:\\GAMES\\quillomar\\levels\\OCEAN SET.QLM\"",
       .prepare = [] { Fake().files[kInstalledOcean] = "old"; }, .answers = {kAnswerYes},
       .boxes = {QuestionBox("OCEAN SET"), AlreadyBox("OCEAN SET")}},
      {.name = "the installed copy opened and refused with No", .tail = kInstalledOcean,
       .prepare = [] { Fake().files[kInstalledOcean] = "old"; }, .answers = {kAnswerNo},
       .boxes = {question}},
      {.name = "Retry until the game has ended", .tail = kOcean,
       .answers = {kAnswerYes, kAnswerRetry, kAnswerRetry}, .gameRunningChecks = 2,
       .boxes = {question, RunningBox(), RunningBox(), done}, .status = 1,
       .installedPath = kInstalledOcean},
      {.name = "Cancel while the game runs", .tail = kOcean,
       .answers = {kAnswerYes, kAnswerRetry, kAnswerCancel}, .gameRunningChecks = -1,
       .boxes = {question, RunningBox(), RunningBox()}},
      {.name = "a warning that could not be shown ends the run", .tail = kOcean,
       .answers = {kAnswerYes, kAnswerNone}, .gameRunningChecks = -1,
       .boxes = {question, RunningBox()}},
      {.name = "OK pressed on the warning ends the run too", .tail = kOcean,
       .answers = {kAnswerYes, kAnswerOk}, .gameRunningChecks = -1,
       .boxes = {question, RunningBox()}},
      {.name = "a copy that fails", .tail = kOcean,
       .prepare = [] { Fake().copyFailsWith = kFakeDiskFull; }, .answers = {kAnswerYes},
       .boxes = {question, CopyErrorBox(kOcean, "System text 112.\r\n")}},
      {.name = "a failure code the system has no text for", .tail = kOcean,
       .prepare =
           [] {
             Fake().copyFailsWith = 0xE0001234;
             Fake().codesWithoutText = {0xE0001234};
           },
       .answers = {kAnswerYes},
       .boxes = {question,
                 CopyErrorBox(kOcean, "Error 3758101044 (the system has no text for it).")}},
      {.name = "a directory named like a level set", .tail = "C:\\Temp\\Folder.qlm",
       .prepare = [] { Fake().directories.insert("C:\\Temp\\Folder.qlm"); },
       .answers = {kAnswerYes},
       .boxes = {QuestionBox("Folder"), CopyErrorBox("C:\\Temp\\Folder.qlm", "System text 5.\r\n")}},
      {.name = "words before and after the quotes",
       .tail = "before \"C:\\Temp\\Ocean%20Set[2].qlm\" after", .answers = {kAnswerYes},
       .boxes = {question, done}, .status = 1, .installedPath = kInstalledOcean},
      {.name = "an unquoted path with blanks is one path", .tail = "C:\\Temp\\Deep Sea-3.qlm",
       .prepare = [] { Fake().files["C:\\Temp\\Deep Sea-3.qlm"] = "deep"; },
       .answers = {kAnswerYes}, .boxes = {QuestionBox("Deep Sea"), DoneBox("Deep Sea")},
       .status = 1, .installedPath = "C:\\Games\\Quillomar\\Levels\\Deep Sea.qlm"},
      {.name = "an unquoted path keeps its trailing blank", .tail = "C:\\Temp\\Deep.qlm ",
       .prepare = [] { Fake().files["C:\\Temp\\Deep.qlm "] = "deep"; },
       .boxes = {InvalidBox("C:\\Temp\\Deep.qlm ")}},
      {.name = "two quotes and nothing between", .tail = "\"\"", .boxes = {NotFoundBox("")}},
      {.name = "a quote that is never closed", .tail = "\"C:\\Temp\\Ocean%20Set[2].qlm",
       .boxes = {NotFoundBox("\"C:\\Temp\\Ocean%20Set[2].qlm")}},
      {.name = "a name made only of a suffix", .tail = "C:\\Temp\\[3].qlm",
       .prepare = [] { Fake().files["C:\\Temp\\[3].qlm"] = "three"; }, .answers = {kAnswerYes},
       .boxes = {QuestionBox(""), DoneBox("")}, .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\.qlm"},
      {.name = "a name that is only the extension", .tail = "C:\\Temp\\.QLM",
       .prepare = [] { Fake().files["C:\\Temp\\.QLM"] = "dot"; }, .answers = {kAnswerYes},
       .boxes = {QuestionBox(""), DoneBox("")}, .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\.QLM"},
      {.name = "a copy in Levels with a suffix is installed under its clean name",
       .tail = "C:\\Games\\Quillomar\\Levels\\Ocean Set-2.qlm",
       .prepare =
           [] {
             Fake().directories.insert(kLevels);
             Fake().files["C:\\Games\\Quillomar\\Levels\\Ocean Set-2.qlm"] = "two";
             Fake().files[kInstalledOcean] = "old";
           },
       .answers = {kAnswerYes}, .boxes = {question, done}, .status = 1,
       .installedPath = kInstalledOcean},
      {.name = "a game directory holding %20 gets the copy in its own Levels", .tail = kOcean,
       .prepare =
           [] {
             Fake().moduleFileName = "C:\\Games\\My%20Game\\Setup.exe";
             Fake().directories.insert("C:\\Games\\My%20Game");
           },
       .answers = {kAnswerYes}, .boxes = {question, done}, .status = 1,
       .installedPath = "C:\\Games\\My%20Game\\Levels\\Ocean Set.qlm"},
      {.name = "a program file path that cannot be had installs beside the current directory",
       .tail = kOcean,
       .prepare =
           [] {
             Fake().moduleFileNameFails = true;
             Fake().directories.insert("");
           },
       .answers = {kAnswerYes}, .boxes = {question, done}, .status = 1,
       .installedPath = "Levels\\Ocean Set.qlm"},
      {.name = "a Levels directory that cannot be created", .tail = kOcean,
       .prepare = [] { Fake().createDirectoryFails = true; }, .answers = {kAnswerYes},
       .boxes = {question, CopyErrorBox(kOcean, "System text 3.\r\n")}},
      {.name = "attributes that cannot be changed do not matter", .tail = kOcean,
       .prepare =
           [] {
             Fake().setAttributesFails = true;
             Fake().files[kInstalledOcean] = "old";
           },
       .answers = {kAnswerYes}, .boxes = {question, done}, .status = 1,
       .installedPath = kInstalledOcean},
  };
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    StandardMachine();
    if (c.prepare) c.prepare();
    Fake().answers.assign(c.answers.begin(), c.answers.end());
    Fake().defaultAnswer = kAnswerOk;
    Fake().gameRunningChecks = c.gameRunningChecks;
    std::string tail = c.tail ? c.tail : "";
    auto filesBefore = Fake().files;

    int status = RunInstaller(c.tail ? &tail[0] : nullptr);

    EXPECT_EQ(c.status, status);
    EXPECT_EQ(c.boxes, Fake().boxes);
    EXPECT_EQ(0, Fake().errorTextsOut) << "system text not released";
    if (c.installedPath) {
      ASSERT_EQ(1u, Fake().files.count(c.installedPath));
      EXPECT_NE("old", Fake().files[c.installedPath]);
    } else if (c.status == 0 && Fake().copyFailsWith == 0) {
      EXPECT_EQ(filesBefore, Fake().files) << "a refusal changed the files";
    }
  }
}

TEST_F(FlowTest, NothingIsTouchedBeforeTheCopy) {
  // Every refusal before the copy leaves the file system alone; the game is
  // looked for only after Yes and the installed check.
  struct Case {
    const char* name;
    const char* tail;
    std::vector<int> answers;
    int gameChecks;
  };
  const Case cases[] = {
      {"not found", "C:\\Temp\\gone.qlm", {}, 0},
      {"invalid", "C:\\Temp\\notes.txt", {}, 0},
      {"No", kOcean, {kAnswerNo}, 0},
      {"already installed", kInstalledOcean, {kAnswerYes}, 0},
      {"Cancel", kOcean, {kAnswerYes, kAnswerCancel}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    StandardMachine();
    Fake().files[kInstalledOcean] = "old";
    Fake().gameRunningChecks = -1;
    Fake().answers.assign(c.answers.begin(), c.answers.end());
    std::string tail = c.tail;
    EXPECT_EQ(0, RunInstaller(&tail[0]));
    EXPECT_FALSE(AnyCopy());
    EXPECT_EQ(c.gameChecks, Fake().gameChecks);
  }
}

TEST_F(FlowTest, InstallsInTheOrderOfTheSteps) {
  StandardMachine();
  Fake().files[kInstalledOcean] = "old";
  Fake().directories.insert(kLevels);
  std::string tail = kOcean;
  ASSERT_EQ(1, RunInstaller(&tail[0]));
  const std::vector<std::string> expected = {
      std::string("Box ") + kQuestionCaption,
      std::string("GameCheck ") + kGameLockName,
      std::string("CreateDirectory ") + kLevels,
      std::string("SetNormal ") + kInstalledOcean,
      std::string("Copy ") + kOcean + " -> " + kInstalledOcean,
      std::string("SetNormal ") + kInstalledOcean,
      std::string("Box ") + kInstalledCaption,
  };
  EXPECT_EQ(expected, Fake().calls);
  EXPECT_EQ("ocean", Fake().files[kInstalledOcean]);
}

TEST_F(FlowTest, NamesInCodePage932) {
  // In code page 932 the second byte of "so" (0x83 0x5C) is a backslash in
  // ASCII; it must not split the name.
  UseCodePage932();
  StandardMachine();
  Fake().files["C:\\Temp\\\x83\x5C[2].qlm"] = "so";
  std::string tail = "\"C:\\Temp\\\x83\x5C[2].qlm\"";
  EXPECT_EQ(1, RunInstaller(&tail[0]));
  EXPECT_EQ((std::vector<Box>{QuestionBox("\x83\x5C"), DoneBox("\x83\x5C")}), Fake().boxes);
  EXPECT_EQ("so", Fake().files["C:\\Games\\Quillomar\\Levels\\\x83\x5C.qlm"]);
}

TEST_F(FlowTest, PosixPathsWithTheirOwnSeparator) {
  // Names that differ in letter case are other files here: a level set in
  // another directory named "levels" is not the installed copy.
  const char* sources[] = {"/tmp/Ocean%20Set[2].qlm", "/opt/quillomar/levels/Ocean Set.qlm"};
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    ResetFake();
    Fake().separator = '/';
    Fake().caseInsensitive = false;
    Fake().moduleFileName = "/opt/quillomar/levelset-installer";
    Fake().directories = {"/opt", "/opt/quillomar", "/opt/quillomar/levels", "/tmp"};
    Fake().files[source] = "ocean";
    std::string tail = source;
    EXPECT_EQ(1, RunInstaller(&tail[0]));
    EXPECT_EQ((std::vector<Box>{QuestionBox("Ocean Set"), DoneBox("Ocean Set")}), Fake().boxes);
    EXPECT_EQ("ocean", Fake().files["/opt/quillomar/Levels/Ocean Set.qlm"]);
  }
}

TEST(ProgramDirectoryTest, IsTheProgramFilesDirectoryWithItsSeparator) {
  struct Case {
    const char* name;
    std::string moduleFileName;
    char separator;
    bool codePage932;
    std::string expected;
  };
  const std::string a254(254, 'a');
  const std::string pairs(254, '\x82');
  const Case cases[] = {
      {"the example", "C:\\Games\\Quillomar\\Setup.exe", '\\', false, "C:\\Games\\Quillomar\\"},
      {"forward slashes", "C:/Games/Setup.exe", '\\', false, "C:/Games/"},
      {"POSIX", "/opt/quillomar/levelset-installer", '/', false, "/opt/quillomar/"},
      {"no directory", "Setup.exe", '\\', false, ""},
      {"a drive alone", "C:Setup.exe", '\\', false, "C:"},
      {"a double-byte name ending in 0x5C", "C:\\\x83\x5C\\Setup.exe", '\\', true,
       "C:\\\x83\x5C\\"},
      {"a directory cut to 255 bytes", "C:\\" + a254 + "\\x", '\\', false,
       "C:\\" + a254 + "\\"},
      {"a cut directory gets a separator", "\\" + a254 + "a\\x", '\\', false,
       "\\" + a254 + "\\"},
      {"a cut directory keeps whole characters", "\\a" + pairs + "\\x", '\\', true,
       "\\a" + pairs.substr(0, 252) + "\\"},
      {"a cut directory ending in a double-byte 0x5C",
       "C:\\" + pairs.substr(0, 252) + "\x83\x5C\\x", '\\', true,
       "C:\\" + pairs.substr(0, 252) + "\x83\x5C\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    Fake().separator = c.separator;
    Fake().moduleFileName = c.moduleFileName;
    ProgramDirectory program = {};
    EXPECT_EQ(c.expected, GetProgramDirectory(&program));
    EXPECT_EQ(c.expected, GetProgramDirectory(&program));
    EXPECT_EQ(1, Fake().moduleFileNameCalls) << "the directory is asked for once";
  }
}

TEST(ProgramDirectoryTest, AFailureIsNotRememberedButASuccessIs) {
  ResetFake();
  Fake().moduleFileNameFails = true;
  ProgramDirectory program = {};
  EXPECT_STREQ("", GetProgramDirectory(&program));
  char path[kPathBufferSize];
  ASSERT_TRUE(GetInstalledPath(&program, "x.qlm", path));
  EXPECT_STREQ("Levels\\x.qlm", path);
  Fake().moduleFileNameFails = false;
  EXPECT_STREQ("C:\\Games\\Quillomar\\", GetProgramDirectory(&program));
  Fake().moduleFileName = "D:\\Other\\x.exe";
  EXPECT_STREQ("C:\\Games\\Quillomar\\", GetProgramDirectory(&program));
  EXPECT_EQ(3, Fake().moduleFileNameCalls);
}

TEST(InstalledPathTest, IsBuiltExactlyOrRefused) {
  struct Case {
    const char* name;
    std::string moduleFileName;
    std::string source;
    bool builds;
    std::string expected;
  };
  // C:\Games\Quillomar\Levels\ is 26 bytes, so a name of 229 bytes and
  // ".qlm" fill 259 exactly.
  const std::string game = "C:\\Games\\Quillomar\\Setup.exe";
  const std::string levels = "C:\\Games\\Quillomar\\Levels\\";
  const Case cases[] = {
      {"the example", game, "C:\\Temp\\Ocean%20Set[2].qlm", true, levels + "Ocean Set.qlm"},
      {"only the file name is decoded", "C:\\My%20Game\\x.exe", "a%20b.q%20lm", true,
       "C:\\My%20Game\\Levels\\a b.q%20lm"},
      {"the extension keeps its case", game, "D:\\x\\Deep.QlM", true, levels + "Deep.QlM"},
      {"the source directory plays no part", game, "\\\\srv\\share\\a-1.qlm", true,
       levels + "a.qlm"},
      {"259 characters are built", game, "C:\\" + std::string(229, 'n') + ".qlm", true,
       levels + std::string(229, 'n') + ".qlm"},
      {"260 characters are refused", game, "C:\\" + std::string(230, 'n') + ".qlm", false, ""},
      {"a long program directory is refused", "C:\\" + std::string(240, 'd') + "\\x.exe",
       "C:\\" + std::string(20, 'n') + ".qlm", false, ""},
      {"a program file path that was cut is refused", "C:\\" + std::string(300, 'd') + "\\x.exe",
       "a.qlm", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Fake().moduleFileName = c.moduleFileName;
    ProgramDirectory program = {};
    char out[kPathBufferSize];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(c.builds, GetInstalledPath(&program, c.source.c_str(), out));
    EXPECT_EQ(c.expected, out);
  }
}

TEST_F(FlowTest, ANameTooLongToBuildIsRefusedWithNothingTouched) {
  struct Case {
    const char* name;
    std::string moduleFileName;
    std::string fileName;
  };
  const Case cases[] = {
      {"the installed path", "C:\\Games\\Quillomar\\Setup.exe", std::string(230, 'n')},
      {"the Levels directory", "C:\\" + std::string(250, 'd') + "\\x.exe", "n"},
      {"the program file's own path", "C:\\" + std::string(300, 'd') + "\\x.exe", "n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    StandardMachine();
    Fake().moduleFileName = c.moduleFileName;
    std::string source = "C:\\Temp\\" + c.fileName + ".qlm";
    Fake().files[source] = "long";
    std::string tail = source;
    EXPECT_EQ(0, RunInstaller(&tail[0]));
    EXPECT_EQ((std::vector<Box>{QuestionBox(c.fileName),
                                CopyErrorBox(source, "System text 206.\r\n")}),
              Fake().boxes);
    EXPECT_FALSE(AnyCopy());
    EXPECT_EQ(0, Fake().errorTextsOut);
  }
}

}  // namespace
