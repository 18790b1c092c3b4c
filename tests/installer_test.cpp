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

namespace {

const char kGame[] = "C:\\Games\\Quillomar";
const char kLevels[] = "C:\\Games\\Quillomar\\Levels";
const char kOcean[] = "C:\\Temp\\Ocean%20Set[2].qlm";
const char kInstalledOcean[] = "C:\\Games\\Quillomar\\Levels\\Ocean Set.qlm";

FakeBox Question(const std::string& name) {
  return {"Quillomar", 0x24,
          "Would you like to install the level set \"" + name + "\" into your Quillomar game?"};
}
FakeBox Done(const std::string& name) {
  return {"Level Set Installed", 0x40,
          "The level set \"" + name +
              "\" has been installed.\n\nYou can play it by running Quillomar."};
}
FakeBox Already(const std::string& name) {
  return {"Level Set Installed", 0x40,
          "The level set \"" + name +
              "\" is already installed.\n\nYou can play it by running Quillomar."};
}
FakeBox NotFound(const std::string& path) {
  return {"Level Set Not Found", 0x10,
          "The named file: \"" + path +
              "\" could not be found, so it could not be installed as a Quillomar level set"};
}
FakeBox Invalid(const std::string& path) {
  return {"Invalid File", 0x10, "The named file: \"" + path + "\" is not a Quillomar level set"};
}
FakeBox Running() {
  return {"Quillomar is Running", 0x35,
          "You can not install level sets while Quillomar is running.  Quillomar (or another "
          "Morvalic game) is running on this computer and must be closed before you can "
          "continue.\n\nIf you want to install the level set, close the game and click retry"};
}
FakeBox CopyError(const std::string& path, const std::string& text) {
  return {"Error Installing Level Set", 0x40,
          "The Level Set: \"" + path + "\" could not be installed, due to the following error:\n\t" +
              text};
}

// A game installed in C:\Games\Quillomar and the level set of the road of
// one request waiting in C:\Temp.
void StandardMachine() {
  Fake().directories = {"C:", "C:\\Games", kGame, "C:\\Temp"};
  Fake().files[kOcean] = "ocean";
  Fake().files["C:\\Temp\\notes.txt"] = "notes";
}

struct FlowCase {
  const char* name;
  const char* tail;  // null: no tail at all
  void (*prepare)();
  std::vector<int> answers;
  int gameRunningChecks;
  std::vector<FakeBox> boxes;
  int status;
  const char* installedPath;  // where the copy must be, or null for no copy
};

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

void ExpectBoxes(const std::vector<FakeBox>& expected) {
  ASSERT_EQ(expected.size(), Fake().boxes.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("box " + std::to_string(i));
    EXPECT_EQ(expected[i].caption, Fake().boxes[i].caption);
    EXPECT_EQ(expected[i].style, Fake().boxes[i].style);
    EXPECT_EQ(expected[i].text, Fake().boxes[i].text);
  }
}

bool AnyCopy() {
  for (const std::string& call : Fake().calls) {
    if (call.rfind("Copy ", 0) == 0 || call.rfind("CreateDirectory ", 0) == 0) return true;
  }
  return false;
}

TEST_F(FlowTest, EveryEndOfTheRun) {
  const FlowCase cases[] = {
      {"the road of one request", "\"C:\\Temp\\Ocean%20Set[2].qlm\"", nullptr, {kAnswerYes}, 0,
       {Question("Ocean Set"), Done("Ocean Set")}, 1, kInstalledOcean},
      {"no tail at all", nullptr, nullptr, {}, 0, {}, 0, nullptr},
      {"an empty tail", "", nullptr, {}, 0, {}, 0, nullptr},
      {"a missing file", "C:\\Temp\\gone.qlm", nullptr, {}, 0,
       {NotFound("C:\\Temp\\gone.qlm")}, 0, nullptr},
      {"a file of another type", "C:\\Temp\\notes.txt", nullptr, {}, 0,
       {Invalid("C:\\Temp\\notes.txt")}, 0, nullptr},
      {"the user says No", kOcean, nullptr, {kAnswerNo}, 0, {Question("Ocean Set")}, 0, nullptr},
      {"a question that could not be shown goes on", kOcean, nullptr, {kAnswerNone, kAnswerNone},
       0, {Question("Ocean Set"), Done("Ocean Set")}, 1, kInstalledOcean},
      {"the installed copy in other letter cases",
       "\"c:\\GAMES\\quillomar\\levels\\OCEAN SET.QLM\"",
       [] { Fake().files[kInstalledOcean] = "old"; }, {kAnswerYes}, 0,
       {Question("OCEAN SET"), Already("OCEAN SET")}, 0, nullptr},
      {"the installed copy opened and refused with No", kInstalledOcean,
       [] { Fake().files[kInstalledOcean] = "old"; }, {kAnswerNo}, 0, {Question("Ocean Set")}, 0,
       nullptr},
      {"Retry until the game has ended", kOcean, nullptr,
       {kAnswerYes, kAnswerRetry, kAnswerRetry}, 2,
       {Question("Ocean Set"), Running(), Running(), Done("Ocean Set")}, 1, kInstalledOcean},
      {"Cancel while the game runs", kOcean, nullptr, {kAnswerYes, kAnswerRetry, kAnswerCancel},
       -1, {Question("Ocean Set"), Running(), Running()}, 0, nullptr},
      {"a warning that could not be shown ends the run", kOcean, nullptr,
       {kAnswerYes, kAnswerNone}, -1, {Question("Ocean Set"), Running()}, 0, nullptr},
      {"OK pressed on the warning ends the run too", kOcean, nullptr, {kAnswerYes, kAnswerOk}, -1,
       {Question("Ocean Set"), Running()}, 0, nullptr},
      {"a copy that fails", kOcean, [] { Fake().copyFailsWith = kFakeDiskFull; }, {kAnswerYes}, 0,
       {Question("Ocean Set"), CopyError(kOcean, "System text 112.\r\n")}, 0, nullptr},
      {"a failure code the system has no text for", kOcean,
       [] {
         Fake().copyFailsWith = 0xE0001234;
         Fake().codesWithoutText = {0xE0001234};
       },
       {kAnswerYes}, 0,
       {Question("Ocean Set"),
        CopyError(kOcean, "Error 3758101044 (the system has no text for it).")},
       0, nullptr},
      {"a directory named like a level set", "C:\\Temp\\Folder.qlm",
       [] { Fake().directories.insert("C:\\Temp\\Folder.qlm"); }, {kAnswerYes}, 0,
       {Question("Folder"), CopyError("C:\\Temp\\Folder.qlm", "System text 5.\r\n")}, 0,
       nullptr},
      {"words before and after the quotes", "before \"C:\\Temp\\Ocean%20Set[2].qlm\" after",
       nullptr, {kAnswerYes}, 0, {Question("Ocean Set"), Done("Ocean Set")}, 1, kInstalledOcean},
      {"an unquoted path with blanks is one path", "C:\\Temp\\Deep Sea-3.qlm",
       [] { Fake().files["C:\\Temp\\Deep Sea-3.qlm"] = "deep"; }, {kAnswerYes}, 0,
       {Question("Deep Sea"), Done("Deep Sea")}, 1,
       "C:\\Games\\Quillomar\\Levels\\Deep Sea.qlm"},
      {"an unquoted path keeps its trailing blank", "C:\\Temp\\Deep.qlm ",
       [] { Fake().files["C:\\Temp\\Deep.qlm "] = "deep"; }, {}, 0,
       {Invalid("C:\\Temp\\Deep.qlm ")}, 0, nullptr},
      {"two quotes and nothing between", "\"\"", nullptr, {}, 0, {NotFound("")}, 0, nullptr},
      {"a quote that is never closed", "\"C:\\Temp\\Ocean%20Set[2].qlm", nullptr, {}, 0,
       {NotFound("\"C:\\Temp\\Ocean%20Set[2].qlm")}, 0, nullptr},
      {"a name made only of a suffix", "C:\\Temp\\[3].qlm",
       [] { Fake().files["C:\\Temp\\[3].qlm"] = "three"; }, {kAnswerYes}, 0,
       {Question(""), Done("")}, 1, "C:\\Games\\Quillomar\\Levels\\.qlm"},
      {"a name that is only the extension", "C:\\Temp\\.QLM",
       [] { Fake().files["C:\\Temp\\.QLM"] = "dot"; }, {kAnswerYes}, 0, {Question(""), Done("")},
       1, "C:\\Games\\Quillomar\\Levels\\.QLM"},
      {"a copy in Levels with a suffix is installed under its clean name",
       "C:\\Games\\Quillomar\\Levels\\Ocean Set-2.qlm",
       [] {
         Fake().directories.insert(kLevels);
         Fake().files["C:\\Games\\Quillomar\\Levels\\Ocean Set-2.qlm"] = "two";
         Fake().files[kInstalledOcean] = "old";
       },
       {kAnswerYes}, 0, {Question("Ocean Set"), Done("Ocean Set")}, 1, kInstalledOcean},
      {"a game directory holding %20 gets the copy in its own Levels", kOcean,
       [] {
         Fake().moduleFileName = "C:\\Games\\My%20Game\\Setup.exe";
         Fake().directories.insert("C:\\Games\\My%20Game");
       },
       {kAnswerYes}, 0, {Question("Ocean Set"), Done("Ocean Set")}, 1,
       "C:\\Games\\My%20Game\\Levels\\Ocean Set.qlm"},
      {"a program file path that cannot be had installs beside the current directory", kOcean,
       [] {
         Fake().moduleFileNameFails = true;
         Fake().directories.insert("");
       },
       {kAnswerYes}, 0, {Question("Ocean Set"), Done("Ocean Set")}, 1, "Levels\\Ocean Set.qlm"},
      {"a Levels directory that cannot be created", kOcean,
       [] { Fake().createDirectoryFails = true; }, {kAnswerYes}, 0,
       {Question("Ocean Set"), CopyError(kOcean, "System text 3.\r\n")}, 0, nullptr},
      {"attributes that cannot be changed do not matter", kOcean,
       [] {
         Fake().setAttributesFails = true;
         Fake().files[kInstalledOcean] = "old";
       },
       {kAnswerYes}, 0, {Question("Ocean Set"), Done("Ocean Set")}, 1, kInstalledOcean},
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
    ExpectBoxes(c.boxes);
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
      "Box Quillomar",
      "GameCheck QovCurrentlyRunningMutex",
      std::string("CreateDirectory ") + kLevels,
      std::string("SetNormal ") + kInstalledOcean,
      std::string("Copy ") + kOcean + " -> " + kInstalledOcean,
      std::string("SetNormal ") + kInstalledOcean,
      "Box Level Set Installed",
  };
  EXPECT_EQ(expected, Fake().calls);
  EXPECT_EQ("ocean", Fake().files[kInstalledOcean]);
}

TEST_F(FlowTest, NamesInCodePage932) {
  // In code page 932 the second byte of "so" (0x83 0x5C) is a backslash in
  // ASCII; it must not split the name.
  Fake().leadByteRanges = {0x81, 0x9F, 0xE0, 0xFC};
  LoadLeadBytes();
  StandardMachine();
  Fake().files["C:\\Temp\\\x83\x5C[2].qlm"] = "so";
  std::string tail = "\"C:\\Temp\\\x83\x5C[2].qlm\"";
  EXPECT_EQ(1, RunInstaller(&tail[0]));
  ExpectBoxes({Question("\x83\x5C"), Done("\x83\x5C")});
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
    ExpectBoxes({Question("Ocean Set"), Done("Ocean Set")});
    EXPECT_EQ("ocean", Fake().files["/opt/quillomar/Levels/Ocean Set.qlm"]);
  }
}

struct ProgramDirectoryCase {
  const char* name;
  std::string moduleFileName;
  char separator;
  bool codePage932;
  std::string expected;
};

TEST(ProgramDirectoryTest, IsTheProgramFilesDirectoryWithItsSeparator) {
  const std::string a254(254, 'a');
  const std::string pairs(254, '\x82');
  const ProgramDirectoryCase cases[] = {
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
  for (const ProgramDirectoryCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) {
      Fake().leadByteRanges = {0x81, 0x9F, 0xE0, 0xFC};
      LoadLeadBytes();
    }
    Fake().separator = c.separator;
    Fake().moduleFileName = c.moduleFileName;
    EXPECT_EQ(c.expected, GetProgramDirectory());
    EXPECT_EQ(c.expected, GetProgramDirectory());
    EXPECT_EQ(1, Fake().moduleFileNameCalls) << "the directory is asked for once";
  }
}

TEST(ProgramDirectoryTest, AFailureIsNotRememberedButASuccessIs) {
  ResetFake();
  Fake().moduleFileNameFails = true;
  EXPECT_STREQ("", GetProgramDirectory());
  char path[kPathBufferSize];
  ASSERT_TRUE(GetInstalledPath("x.qlm", path));
  EXPECT_STREQ("Levels\\x.qlm", path);
  Fake().moduleFileNameFails = false;
  EXPECT_STREQ("C:\\Games\\Quillomar\\", GetProgramDirectory());
  Fake().moduleFileName = "D:\\Other\\x.exe";
  EXPECT_STREQ("C:\\Games\\Quillomar\\", GetProgramDirectory());
  EXPECT_EQ(3, Fake().moduleFileNameCalls);
}

struct InstalledPathCase {
  const char* name;
  std::string moduleFileName;
  std::string source;
  bool builds;
  std::string expected;
};

TEST(InstalledPathTest, IsBuiltExactlyOrRefused) {
  // C:\Games\Quillomar\Levels\ is 26 bytes, so a name of 229 bytes and
  // ".qlm" fill 259 exactly.
  const std::string game = "C:\\Games\\Quillomar\\Setup.exe";
  const std::string levels = "C:\\Games\\Quillomar\\Levels\\";
  const InstalledPathCase cases[] = {
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
  for (const InstalledPathCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Fake().moduleFileName = c.moduleFileName;
    char out[kPathBufferSize];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(c.builds, GetInstalledPath(c.source.c_str(), out));
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
    ExpectBoxes({Question(c.fileName), CopyError(source, "System text 206.\r\n")});
    EXPECT_FALSE(AnyCopy());
    EXPECT_EQ(0, Fake().errorTextsOut);
  }
}

}  // namespace
