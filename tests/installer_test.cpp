// The installer flow against the scripted platform: every end of the run and
// each platform operation failing in turn, with the boxes, the exit status,
// what happened to the files and in which order.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialogue/installer.h"
#include "levelset/levelset.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "tests/row_name.h"
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

void WithOldCopy() {
  Fake().directories.insert(kLevels);
  Fake().files[kInstalledOcean] = "old";
}

// The game in /opt/quillomar, on a system whose names differ by letter case,
// with a directory "levels" beside it.
void PosixMachine() {
  Fake().separator = '/';
  Fake().caseInsensitive = false;
  Fake().moduleFileName = "/opt/quillomar/levelset-installer";
  Fake().directories = {"/opt", "/opt/quillomar", "/opt/quillomar/levels", "/tmp"};
}

// Names too long for a path of 259 characters: the installed path, the
// Levels directory, the program file's own path.
const std::string kLongName(230, 'n');
const std::string kLongSource = "C:\\Temp\\" + kLongName + ".qlm";
const std::string kLongGame = "C:\\" + std::string(250, 'd') + "\\x.exe";
const std::string kTooLongGame = "C:\\" + std::string(300, 'd') + "\\x.exe";

std::string Call(const char* what, const std::string& argument) {
  return std::string(what) + " " + argument;
}

struct FlowCase {
  const char* name;
  const char* tail = kOcean;  // null: no tail at all
  // "^" under each byte of tail that stands for a character with no exact
  // form in the code page; null: none is marked.
  const char* inexact = nullptr;
  void (*prepare)() = nullptr;  // on top of the standard machine
  std::vector<int> answers = {kAnswerYes};
  int defaultAnswer = kAnswerOk;  // once the answers are used up
  int gameRunningChecks = 0;
  // The row runs once with the copy failing with each code; "{code}" in a
  // box stands for the code.
  std::vector<uint32_t> copyFailures = {};
  std::vector<Box> boxes = {};
  int status = 0;
  // Where the copy lands, with what; null: every file is left as it was.
  const char* installedPath = nullptr;
  const char* installedContents = "ocean";
  int attributeResets = 0;  // of the installed path (the Ocean Set copy when none)
  bool levels = false;      // C:\Games\Quillomar\Levels is there afterwards
  int gameChecks = -1;      // times the game was looked for; -1: not checked
  std::vector<std::string> calls = {};  // every call in order; empty: not checked
};

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  for (size_t at = text->find(from); at != std::string::npos;
       at = text->find(from, at + to.size())) {
    text->replace(at, from.size(), to);
  }
}

const Box question = QuestionBox("Ocean Set"), done = DoneBox("Ocean Set");
const Box running = RunningBox();
const std::string questionCall = Call("Box", kQuestionCaption);
const std::string gameCall = Call("GameCheck", kGameLockName);
const std::string copyErrorCall = Call("Box", kCopyErrorCaption);
const FlowCase kFlowCases[] = {
      // The example request; the confirmation need not be shown.
      {.name = "the road of one request", .tail = "\"C:\\Temp\\Ocean%20Set[2].qlm\"",
       .defaultAnswer = kAnswerNone, .boxes = {question, done}, .status = 1,
       .installedPath = kInstalledOcean, .attributeResets = 1, .levels = true,
       .calls = {questionCall, gameCall, Call("CreateDirectory", kLevels),
                 Call("Copy", std::string(kOcean) + " -> " + kInstalledOcean),
                 Call("SetNormal", kInstalledOcean), Call("Box", kInstalledCaption)}},
      {.name = "no tail at all", .tail = nullptr, .gameChecks = 0},
      {.name = "an empty tail", .tail = ""},

      // Refusals before the copy touch nothing and do not look for the game,
      // whether or not their boxes can be shown.
      {.name = "a missing file", .tail = "C:\\Temp\\gone.qlm", .answers = {},
       .defaultAnswer = kAnswerNone, .boxes = {NotFoundBox("C:\\Temp\\gone.qlm")},
       .gameChecks = 0},
      {.name = "a name with a character that had no exact form names no file, though its text does",
       .inexact = "             ^", .answers = {}, .defaultAnswer = kAnswerNone, .boxes = {NotFoundBox(kOcean)},
       .gameChecks = 0},
      {.name = "a mark outside the quoted name plays no part",
       .tail = "\"C:\\Temp\\Ocean%20Set[2].qlm\" ?", .inexact = "                             ^",
       .boxes = {question, done}, .status = 1, .installedPath = kInstalledOcean, .attributeResets = 1,
       .levels = true},
      {.name = "a file of another type", .tail = "C:\\Temp\\notes.txt", .answers = {},
       .defaultAnswer = kAnswerNone, .boxes = {InvalidBox("C:\\Temp\\notes.txt")},
       .gameChecks = 0},
      {.name = "the user says No", .answers = {kAnswerNo}, .boxes = {question}, .gameChecks = 0},
      {.name = "the installed copy in other letter cases",
       .tail = "\"c:\\GAMES\\quillomar\\levels\\OCEAN SET.QLM\"", .prepare = WithOldCopy,
       .defaultAnswer = kAnswerNone, .boxes = {QuestionBox("OCEAN SET"), AlreadyBox("OCEAN SET")},
       .levels = true, .gameChecks = 0},
      {.name = "the installed copy opened and refused with No", .tail = kInstalledOcean,
       .prepare = WithOldCopy, .answers = {kAnswerNo}, .boxes = {question}, .levels = true},

      // Boxes that could not be shown: the question goes on, the warning ends.
      {.name = "no box shown at all, the game not running: installed", .prepare = WithOldCopy,
       .answers = {}, .defaultAnswer = kAnswerNone, .boxes = {question, done}, .status = 1,
       .installedPath = kInstalledOcean, .attributeResets = 2, .levels = true},
      {.name = "no box shown at all, the game running: nothing done", .prepare = WithOldCopy,
       .answers = {}, .defaultAnswer = kAnswerNone, .gameRunningChecks = -1,
       .boxes = {question, running}, .levels = true, .gameChecks = 1},

      // The game guard.
      {.name = "Retry until the game has ended",
       .answers = {kAnswerYes, kAnswerRetry, kAnswerRetry}, .gameRunningChecks = 2,
       .boxes = {question, running, running, done}, .status = 1,
       .installedPath = kInstalledOcean, .attributeResets = 1, .levels = true, .gameChecks = 3},
      {.name = "Cancel while the game runs", .answers = {kAnswerYes, kAnswerRetry, kAnswerCancel},
       .gameRunningChecks = -1, .boxes = {question, running, running}, .gameChecks = 2},
      {.name = "OK pressed on the warning after a Retry ends the run too",
       .answers = {kAnswerYes, kAnswerRetry, kAnswerOk}, .gameRunningChecks = -1,
       .boxes = {question, running, running}},

      // A failed copy, whatever its code: one copy tried, one box with the
      // system's text and the source as it was given (even when the box is
      // not shown, the text is given back), nothing after it, the old copy
      // kept with the normal attributes it was given before.
      {.name = "a copy that fails", .tail = "\"C:\\Temp\\Ocean%20Set[2].qlm\" ignored",
       .prepare = WithOldCopy, .defaultAnswer = kAnswerNone,
       .copyFailures = {kFakeFileNotFound, kFakePathNotFound, kFakeAccessDenied,
                        kFakeSharingViolation, kFakeDiskFull, kFakeNameTooLong, 0xE0001234},
       .boxes = {question, CopyErrorBox(kOcean, "System text {code}.\r\n")}, .attributeResets = 1,
       .levels = true,
       .calls = {questionCall, gameCall, Call("CreateDirectory", kLevels),
                 Call("SetNormal", kInstalledOcean),
                 Call("Copy", std::string(kOcean) + " -> " + kInstalledOcean), copyErrorCall}},
      {.name = "a failure code the system has no text for",
       .prepare =
           [] {
             Fake().copyFailsWith = 0xE0001234;
             Fake().codesWithoutText = {0xE0001234};
           },
       .boxes = {question,
                 CopyErrorBox(kOcean, "Error 3758101044 (the system has no text for it).")},
       .levels = true},
      // Failures that the platform finds itself are told in the installer's
      // own words, with the paths; the system is not asked for a text.
      {.name = "the target is the source by another name",
       .prepare = [] { Fake().copyFailsAs = kFailureSameFile; },
       .boxes = {question, CopyErrorBox(kOcean, "'" + std::string(kOcean) + "' and '" +
                                                    kInstalledOcean + "' are the same file")},
       .levels = true},
      {.name = "a source that is no regular file",
       .prepare = [] { Fake().copyFailsAs = kFailureNotRegularFile; },
       .boxes = {question,
                 CopyErrorBox(kOcean, "'" + std::string(kOcean) + "' is not a regular file")},
       .levels = true},
      {.name = "a source replaced while it was opened",
       .prepare = [] { Fake().copyFailsAs = kFailureSourceReplaced; },
       .boxes = {question, CopyErrorBox(kOcean, "'" + std::string(kOcean) +
                                                    "' was replaced while it was being opened")},
       .levels = true},
      {.name = "a source through another user's link",
       .prepare = [] { Fake().copyFailsAs = kFailureForeignLink; },
       .boxes = {question,
                 CopyErrorBox(kOcean, "'" + std::string(kOcean) +
                                          "' is another user's link to a file that is not theirs")},
       .levels = true},
      {.name = "a source that leads to a file that is no level set",
       .prepare = [] { Fake().copyFailsAs = kFailureNotLevelSet; },
       .boxes = {question, CopyErrorBox(kOcean, "'" + std::string(kOcean) +
                                                    "' leads to a file that is not a level set")},
       .levels = true},
      {.name = "a directory named like a level set", .tail = "C:\\Temp\\Folder.qlm",
       .prepare = [] { Fake().directories.insert("C:\\Temp\\Folder.qlm"); },
       .boxes = {QuestionBox("Folder"), CopyErrorBox("C:\\Temp\\Folder.qlm", "System text 5.\r\n")},
       .levels = true},

      // The command-line tail and the names it gives.
      {.name = "words before and after the quotes",
       .tail = "before \"C:\\Temp\\Ocean%20Set[2].qlm\" after", .boxes = {question, done},
       .status = 1, .installedPath = kInstalledOcean, .attributeResets = 1, .levels = true},
      {.name = "an unquoted path with blanks is one path", .tail = "C:\\Temp\\Deep Sea-3.qlm",
       .prepare = [] { Fake().files["C:\\Temp\\Deep Sea-3.qlm"] = "deep"; },
       .boxes = {QuestionBox("Deep Sea"), DoneBox("Deep Sea")}, .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\Deep Sea.qlm", .installedContents = "deep",
       .attributeResets = 1, .levels = true},
      {.name = "an unquoted path keeps its trailing blank", .tail = "C:\\Temp\\Deep.qlm ",
       .prepare = [] { Fake().files["C:\\Temp\\Deep.qlm "] = "deep"; },
       .boxes = {InvalidBox("C:\\Temp\\Deep.qlm ")}},
      {.name = "two quotes and nothing between", .tail = "\"\"", .boxes = {NotFoundBox("")}},
      {.name = "a quote that is never closed", .tail = "\"C:\\Temp\\Ocean%20Set[2].qlm",
       .boxes = {NotFoundBox("\"C:\\Temp\\Ocean%20Set[2].qlm")}},
      {.name = "a name made only of a suffix", .tail = "C:\\Temp\\[3].qlm",
       .prepare = [] { Fake().files["C:\\Temp\\[3].qlm"] = "three"; },
       .boxes = {QuestionBox(""), DoneBox("")}, .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\.qlm", .installedContents = "three",
       .attributeResets = 1, .levels = true},
      {.name = "a name that is only the extension", .tail = "C:\\Temp\\.QLM",
       .prepare = [] { Fake().files["C:\\Temp\\.QLM"] = "dot"; },
       .boxes = {QuestionBox(""), DoneBox("")}, .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\.QLM", .installedContents = "dot",
       .attributeResets = 1, .levels = true},
      {.name = "a copy in Levels with a suffix is installed under its clean name",
       .tail = "C:\\Games\\Quillomar\\Levels\\Ocean Set-2.qlm",
       .prepare =
           [] {
             WithOldCopy();
             Fake().files["C:\\Games\\Quillomar\\Levels\\Ocean Set-2.qlm"] = "two";
           },
       .boxes = {question, done}, .status = 1, .installedPath = kInstalledOcean,
       .installedContents = "two", .attributeResets = 2, .levels = true},
      {.name = "names in code page 932: the second byte of 0x83 0x5C is no separator",
       .tail = "\"C:\\Temp\\\x83\x5C[2].qlm\"",
       .prepare =
           [] {
             UseCodePage932();
             Fake().files["C:\\Temp\\\x83\x5C[2].qlm"] = "so";
           },
       .boxes = {QuestionBox("\x83\x5C"), DoneBox("\x83\x5C")}, .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\\x83\x5C.qlm", .installedContents = "so",
       .attributeResets = 1, .levels = true},
      // U+2028 and U+2029 break a line where a box's text is UTF-8.
      {.name = "names in UTF-8: the line and paragraph separators are shown escaped",
       .tail = "C:\\Temp\\Reef\xe2\x80\xa8[Y]es\xe2\x80\xa9.qlm",
       .prepare =
           [] {
             UseUtf8();
             Fake().files["C:\\Temp\\Reef\xe2\x80\xa8[Y]es\xe2\x80\xa9.qlm"] = "reef";
           },
       .boxes = {QuestionBox("Reef\\xe2\\x80\\xa8[Y]es\\xe2\\x80\\xa9"),
                 DoneBox("Reef\\xe2\\x80\\xa8[Y]es\\xe2\\x80\\xa9")},
       .status = 1,
       .installedPath = "C:\\Games\\Quillomar\\Levels\\Reef\xe2\x80\xa8[Y]es\xe2\x80\xa9.qlm",
       .installedContents = "reef", .attributeResets = 1, .levels = true},

      // Where the copy goes.
      {.name = "a game directory holding %20 gets the copy in its own Levels",
       .prepare =
           [] {
             Fake().moduleFileName = "C:\\Games\\My%20Game\\Setup.exe";
             Fake().directories.insert("C:\\Games\\My%20Game");
           },
       .boxes = {question, done}, .status = 1,
       .installedPath = "C:\\Games\\My%20Game\\Levels\\Ocean Set.qlm", .attributeResets = 1},
      {.name = "POSIX paths with their own separator",
       .tail = "/tmp/Ocean%20Set[2].qlm",
       .prepare =
           [] {
             PosixMachine();
             Fake().files["/tmp/Ocean%20Set[2].qlm"] = "ocean";
           },
       .boxes = {question, done}, .status = 1,
       .installedPath = "/opt/quillomar/Levels/Ocean Set.qlm", .attributeResets = 1},
      // Names that differ in letter case are other files there: a level set
      // in another directory named "levels" is not the installed copy.
      {.name = "POSIX: levels is not Levels",
       .tail = "/opt/quillomar/levels/Ocean Set.qlm",
       .prepare =
           [] {
             PosixMachine();
             Fake().files["/opt/quillomar/levels/Ocean Set.qlm"] = "ocean";
           },
       .boxes = {question, done}, .status = 1,
       .installedPath = "/opt/quillomar/Levels/Ocean Set.qlm", .attributeResets = 1},

      // The program directory that cannot be had.
      {.name = "a program file path that cannot be had installs beside the current directory",
       .prepare =
           [] {
             Fake().moduleFileNameFails = true;
             Fake().directories.insert("");
           },
       .boxes = {question, done}, .status = 1, .installedPath = "Levels\\Ocean Set.qlm",
       .attributeResets = 1},
      {.name = "a program file path that cannot be had, and no Levels where the installer runs",
       .prepare =
           [] {
             WithOldCopy();
             Fake().moduleFileNameFails = true;
           },
       .boxes = {question, CopyErrorBox(kOcean, "System text 3.\r\n")}, .levels = true},
      {.name = "a program file path that cannot be had where the platform will not go on",
       .prepare =
           [] {
             WithOldCopy();
             Fake().moduleFileNameFails = true;
             Fake().relativePathsUsable = false;
           },
       .boxes = {question, CopyErrorBox(kOcean, "System text 2.\r\n")}, .levels = true,
       .calls = {questionCall, gameCall, copyErrorCall}},

      // Names too long to build are refused before anything is touched.
      {.name = "an installed path over 259 characters", .tail = kLongSource.c_str(),
       .prepare = [] { Fake().files[kLongSource] = "long"; },
       .boxes = {QuestionBox(kLongName), CopyErrorBox(kLongSource, "System text 206.\r\n")},
       .calls = {questionCall, gameCall, copyErrorCall}},
      {.name = "a Levels directory over 259 characters", .tail = "C:\\Temp\\n.qlm",
       .prepare =
           [] {
             Fake().moduleFileName = kLongGame;
             Fake().files["C:\\Temp\\n.qlm"] = "n";
           },
       .boxes = {QuestionBox("n"), CopyErrorBox("C:\\Temp\\n.qlm", "System text 206.\r\n")},
       .calls = {questionCall, gameCall, copyErrorCall}},
      {.name = "a program file path too long to be had whole, with no text for the code",
       .prepare =
           [] {
             WithOldCopy();
             Fake().moduleFileName = kTooLongGame;
             Fake().codesWithoutText = {kFakeNameTooLong};
           },
       .boxes = {question, CopyErrorBox(kOcean, "Error 206 (the system has no text for it).")},
       .levels = true, .calls = {questionCall, gameCall, copyErrorCall}},

      // Directory creation and attribute changes never fail the install.
      {.name = "Levels cannot be created and is not there: the copy finds no path",
       .prepare = [] { Fake().createDirectoryFails = true; },
       .boxes = {question, CopyErrorBox(kOcean, "System text 3.\r\n")}},
      {.name = "Levels cannot be created but is there",
       .prepare =
           [] {
             WithOldCopy();
             Fake().createDirectoryFails = true;
           },
       .boxes = {question, done}, .status = 1, .installedPath = kInstalledOcean,
       .attributeResets = 2, .levels = true},
      {.name = "the program directory does not exist",
       .prepare = [] { Fake().directories.erase(kGame); },
       .boxes = {question, CopyErrorBox(kOcean, "System text 3.\r\n")}},
      {.name = "attributes cannot be changed: installed all the same, step by step",
       .prepare =
           [] {
             WithOldCopy();
             Fake().setAttributesFails = true;
           },
       .boxes = {question, done}, .status = 1, .installedPath = kInstalledOcean, .levels = true,
       .calls = {questionCall, gameCall, Call("CreateDirectory", kLevels),
                 Call("SetNormal", kInstalledOcean),
                 Call("Copy", std::string(kOcean) + " -> " + kInstalledOcean),
                 Call("SetNormal", kInstalledOcean), Call("Box", kInstalledCaption)}},
};
ROW_CASES(FlowTest, ::testing::Test, kFlowCases, name);
TEST_P(FlowTest, EveryEndOfTheRun) {
  const FlowCase& c = GetParam();
  const std::vector<uint32_t> codes = c.copyFailures.empty() ? std::vector<uint32_t>{0} : c.copyFailures;
  for (uint32_t code : codes) {
    SCOPED_TRACE(std::string(c.name) + (code != 0 ? ", code " + std::to_string(code) : ""));
    ResetFake();
    StandardMachine();
    if (c.prepare) c.prepare();
    if (code != 0) Fake().copyFailsWith = code;
    Fake().answers.assign(c.answers.begin(), c.answers.end());
    Fake().defaultAnswer = c.defaultAnswer;
    Fake().gameRunningChecks = c.gameRunningChecks;
    std::string tail = c.tail ? c.tail : "";
    auto files = Fake().files;

    std::unique_ptr<bool[]> marks(new bool[tail.size() + 1]());
    for (size_t i = 0; c.inexact && c.inexact[i] != '\0'; ++i) marks[i] = c.inexact[i] == '^';
    EXPECT_EQ(c.status, RunInstaller(c.tail ? &tail[0] : nullptr, marks.get()));

    std::vector<Box> boxes = c.boxes;
    for (Box& box : boxes) ReplaceAll(&box.text, "{code}", std::to_string(code));
    EXPECT_EQ(boxes, Fake().boxes);
    EXPECT_EQ(0, Fake().errorTextsOut) << "system text not given back";
    if (c.installedPath) files[c.installedPath] = c.installedContents;
    EXPECT_EQ(files, Fake().files);
    EXPECT_EQ(c.attributeResets,
              Fake().attributesReset[c.installedPath ? c.installedPath : kInstalledOcean]);
    EXPECT_EQ(c.levels, Fake().directories.count(kLevels) == 1);
    if (c.gameChecks >= 0) {
      EXPECT_EQ(c.gameChecks, Fake().gameChecks);
    }
    if (!c.calls.empty()) {
      EXPECT_EQ(c.calls, Fake().calls);
    }
  }
}

TEST(ProgramDirectoryTest, IsTheProgramFilesDirectoryWithItsSeparator) {
  struct Case {
    const char* name;
    std::string moduleFileName;
    char separator = '\\';
    bool codePage932 = false;
    std::string expected;
  };
  const std::string a254(254, 'a');
  const std::string pairs(254, '\x82');
  const Case cases[] = {
      {.name = "the example", .moduleFileName = "C:\\Games\\Quillomar\\Setup.exe",
       .expected = "C:\\Games\\Quillomar\\"},
      {.name = "forward slashes", .moduleFileName = "C:/Games/Setup.exe", .expected = "C:/Games/"},
      {.name = "POSIX", .moduleFileName = "/opt/quillomar/levelset-installer", .separator = '/',
       .expected = "/opt/quillomar/"},
      {.name = "no directory", .moduleFileName = "Setup.exe", .expected = ""},
      {.name = "a drive alone", .moduleFileName = "C:Setup.exe", .expected = "C:"},
      {.name = "a double-byte name ending in 0x5C", .moduleFileName = "C:\\\x83\x5C\\Setup.exe",
       .codePage932 = true, .expected = "C:\\\x83\x5C\\"},
      {.name = "a directory cut to 255 bytes", .moduleFileName = "C:\\" + a254 + "\\x",
       .expected = "C:\\" + a254 + "\\"},
      {.name = "a cut directory gets a separator", .moduleFileName = "\\" + a254 + "a\\x",
       .expected = "\\" + a254 + "\\"},
      {.name = "a cut directory keeps whole characters", .moduleFileName = "\\a" + pairs + "\\x",
       .codePage932 = true, .expected = "\\a" + pairs.substr(0, 252) + "\\"},
      {.name = "a cut directory ending in a double-byte 0x5C",
       .moduleFileName = "C:\\" + pairs.substr(0, 252) + "\x83\x5C\\x", .codePage932 = true,
       .expected = "C:\\" + pairs.substr(0, 252) + "\x83\x5C\\"},
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
  // The installed check and the copy each ask again after a failed look-up;
  // the first success is kept.
  ResetFake();
  Fake().moduleFileNameFails = true;
  ProgramDirectory program = {};
  EXPECT_STREQ("", GetProgramDirectory(&program));
  char path[kPathBufferSize];
  ASSERT_TRUE(GetInstalledPath(&program, "x-1.qlm", path));
  EXPECT_STREQ("Levels\\x.qlm", path);
  ASSERT_TRUE(GetLevelsDirectory(&program, path));
  EXPECT_STREQ("Levels", path);
  Fake().relativePathsUsable = false;
  EXPECT_FALSE(GetLevelsDirectory(&program, path));
  EXPECT_EQ(4, Fake().moduleFileNameCalls);
  Fake().moduleFileNameFails = false;
  ASSERT_TRUE(GetLevelsDirectory(&program, path));
  EXPECT_STREQ(kLevels, path);
  Fake().moduleFileName = "D:\\Other\\x.exe";
  EXPECT_STREQ("C:\\Games\\Quillomar\\", GetProgramDirectory(&program));
  EXPECT_EQ(5, Fake().moduleFileNameCalls);
}

TEST(InstalledPathTest, IsBuiltExactlyOrRefused) {
  struct Case {
    const char* name;
    std::string moduleFileName = "C:\\Games\\Quillomar\\Setup.exe";
    std::string source;
    std::string expected = {};  // empty: refused
  };
  // C:\Games\Quillomar\Levels\ is 26 bytes, so a name of 229 bytes and
  // ".qlm" fill 259 exactly.
  const std::string levels = "C:\\Games\\Quillomar\\Levels\\";
  const Case cases[] = {
      {.name = "the example", .source = "C:\\Temp\\Ocean%20Set[2].qlm",
       .expected = levels + "Ocean Set.qlm"},
      {.name = "only the file name is decoded", .moduleFileName = "C:\\My%20Game\\x.exe",
       .source = "a%20b.q%20lm", .expected = "C:\\My%20Game\\Levels\\a b.q%20lm"},
      {.name = "the extension keeps its case", .source = "D:\\x\\Deep.QlM",
       .expected = levels + "Deep.QlM"},
      {.name = "the source directory plays no part", .source = "\\\\srv\\share\\a-1.qlm",
       .expected = levels + "a.qlm"},
      {.name = "259 characters are built", .source = "C:\\" + std::string(229, 'n') + ".qlm",
       .expected = levels + std::string(229, 'n') + ".qlm"},
      {.name = "260 characters are refused", .source = "C:\\" + std::string(230, 'n') + ".qlm"},
      {.name = "a long program directory is refused",
       .moduleFileName = "C:\\" + std::string(240, 'd') + "\\x.exe",
       .source = "C:\\" + std::string(20, 'n') + ".qlm"},
      {.name = "a program file path that was cut is refused", .moduleFileName = kTooLongGame,
       .source = "a.qlm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Fake().moduleFileName = c.moduleFileName;
    ProgramDirectory program = {};
    char out[kPathBufferSize];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(!c.expected.empty(), GetInstalledPath(&program, c.source.c_str(), out));
    EXPECT_EQ(c.expected, out);
  }
}

}  // namespace
