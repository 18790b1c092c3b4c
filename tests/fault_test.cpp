// Each platform operation failing in turn: directory creation, attribute
// changes, the program file's path, the copy with its failure codes, a
// system text that cannot be had, and a box that cannot be shown at each
// box of the flow. Every row checks the boxes, the exit status, the files
// and that the system text was given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogue/installer.h"
#include "levelset/levelset.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "tests/texts.h"

namespace {

const char kLevels[] = "C:\\Games\\Quillomar\\Levels";
const char kSource[] = "C:\\Temp\\Reef-4.qlm";
const char kInstalled[] = "C:\\Games\\Quillomar\\Levels\\Reef.qlm";

// The game in C:\Games\Quillomar, the level set in C:\Temp.
void Machine() {
  Fake().directories = {"C:", "C:\\Games", "C:\\Games\\Quillomar", "C:\\Temp"};
  Fake().files[kSource] = "new";
}

void WithOldCopy() {
  Fake().directories.insert(kLevels);
  Fake().files[kInstalled] = "old";
}

void WithLongProgramPath() { Fake().moduleFileName = "C:\\" + std::string(300, 'p') + "\\Setup.exe"; }

struct FaultCase {
  const char* name;
  void (*prepare)() = nullptr;
  const char* tail = kSource;
  std::vector<int> answers = {kAnswerYes};  // then every box answers defaultAnswer
  int defaultAnswer = kAnswerOk;
  int gameRunningChecks = 0;
  std::vector<std::string> captions;  // the boxes, in order
  const char* systemText = nullptr;   // in the copy-failure box, if there is one
  int status = 0;
  const char* installedContents = nullptr;  // what kInstalled holds afterwards; null: absent
  int attributeResets = 0;                  // of kInstalled
  bool levelsExists = true;                 // afterwards
};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

TEST_F(FaultTest, EachPlatformOperationFailingInTurn) {
  const std::vector<std::string> installed = {kQuestionCaption, kInstalledCaption};
  const std::vector<std::string> copyError = {kQuestionCaption, kCopyErrorCaption};
  const FaultCase cases[] = {
      // Directory creation: tolerated; it matters only when Levels is not there.
      {.name = "Levels cannot be created but is there",
       .prepare = [] { WithOldCopy(); Fake().createDirectoryFails = true; },
       .captions = installed, .status = 1, .installedContents = "new", .attributeResets = 2},
      {.name = "Levels cannot be created and is not there: the copy reports path not found",
       .prepare = [] { Fake().createDirectoryFails = true; }, .captions = copyError,
       .systemText = "System text 3.\r\n", .levelsExists = false},
      {.name = "the program directory does not exist",
       .prepare = [] { Fake().directories.erase("C:\\Games\\Quillomar"); },
       .captions = copyError, .systemText = "System text 3.\r\n", .levelsExists = false},

      // Attribute changes: tolerated before and after the copy.
      {.name = "attributes of the old copy cannot be changed",
       .prepare = [] { WithOldCopy(); Fake().setAttributesFails = true; },
       .captions = installed, .status = 1, .installedContents = "new"},
      {.name = "attributes cannot be changed and there is no old copy",
       .prepare = [] { Fake().setAttributesFails = true; }, .captions = installed,
       .status = 1, .installedContents = "new"},

      // The program file's path: the paths are then relative to the current
      // directory, which here holds no Levels to create it in, unless the
      // platform will not go on without it.
      {.name = "the program file's path cannot be had",
       .prepare = [] { WithOldCopy(); Fake().moduleFileNameFails = true; },
       .captions = copyError, .systemText = "System text 3.\r\n", .installedContents = "old"},
      {.name = "the program file's path cannot be had where the platform will not go on without it",
       .prepare =
           [] {
             WithOldCopy();
             Fake().moduleFileNameFails = true;
             Fake().moduleFileNameRefusal = kFakeFileNotFound;
           },
       .captions = copyError, .systemText = "System text 2.\r\n", .installedContents = "old"},
      {.name = "the program file's path is too long to be had whole",
       .prepare = [] { WithOldCopy(); WithLongProgramPath(); }, .captions = copyError,
       .systemText = "System text 206.\r\n", .installedContents = "old"},

      // The copy, with several failure codes; an old copy stays as it was,
      // with the normal attributes it was given before the copy.
      {.name = "copy: file not found",
       .prepare = [] { WithOldCopy(); Fake().copyFailsWith = kFakeFileNotFound; },
       .captions = copyError, .systemText = "System text 2.\r\n", .installedContents = "old",
       .attributeResets = 1},
      {.name = "copy: access denied",
       .prepare = [] { WithOldCopy(); Fake().copyFailsWith = kFakeAccessDenied; },
       .captions = copyError, .systemText = "System text 5.\r\n", .installedContents = "old",
       .attributeResets = 1},
      {.name = "copy: sharing violation",
       .prepare = [] { WithOldCopy(); Fake().copyFailsWith = kFakeSharingViolation; },
       .captions = copyError, .systemText = "System text 32.\r\n", .installedContents = "old",
       .attributeResets = 1},
      {.name = "copy: name too long, no old copy",
       .prepare = [] { Fake().copyFailsWith = kFakeNameTooLong; }, .captions = copyError,
       .systemText = "System text 206.\r\n"},

      // The system text that cannot be had.
      {.name = "no system text for access denied",
       .prepare =
           [] {
             WithOldCopy();
             Fake().copyFailsWith = kFakeAccessDenied;
             Fake().codesWithoutText = {kFakeAccessDenied};
           },
       .captions = copyError, .systemText = "Error 5 (the system has no text for it).",
       .installedContents = "old", .attributeResets = 1},
      {.name = "no system text for a name too long to build",
       .prepare =
           [] {
             WithLongProgramPath();
             Fake().codesWithoutText = {kFakeNameTooLong};
           },
       .captions = copyError, .systemText = "Error 206 (the system has no text for it).",
       .levelsExists = false},

      // A box that cannot be shown, at each box of the flow.
      {.name = "not-found box not shown", .tail = "C:\\Temp\\gone.qlm", .answers = {},
       .defaultAnswer = kAnswerNone, .captions = {kNotFoundCaption}, .levelsExists = false},
      {.name = "invalid-file box not shown",
       .prepare = [] { Fake().files["C:\\Temp\\a.txt"] = "t"; }, .tail = "C:\\Temp\\a.txt",
       .answers = {}, .defaultAnswer = kAnswerNone, .captions = {kInvalidCaption},
       .levelsExists = false},
      {.name = "already-installed box not shown", .prepare = WithOldCopy, .tail = kInstalled,
       .defaultAnswer = kAnswerNone, .captions = installed, .installedContents = "old"},
      {.name = "copy-failure box not shown: the text is still given back",
       .prepare = [] { Fake().copyFailsWith = kFakeAccessDenied; }, .defaultAnswer = kAnswerNone,
       .captions = copyError, .systemText = "System text 5.\r\n"},
      {.name = "confirmation not shown: still installed", .defaultAnswer = kAnswerNone,
       .captions = installed, .status = 1, .installedContents = "new", .attributeResets = 1},
      {.name = "no box shown at all, game not running: installed", .prepare = WithOldCopy,
       .answers = {}, .defaultAnswer = kAnswerNone, .captions = installed, .status = 1,
       .installedContents = "new", .attributeResets = 2},
      {.name = "no box shown at all, game running: nothing done", .prepare = WithOldCopy,
       .answers = {}, .defaultAnswer = kAnswerNone, .gameRunningChecks = -1,
       .captions = {kQuestionCaption, kRunningCaption}, .installedContents = "old"},
      {.name = "warning not shown after a Retry", .answers = {kAnswerYes, kAnswerRetry},
       .defaultAnswer = kAnswerNone, .gameRunningChecks = -1,
       .captions = {kQuestionCaption, kRunningCaption, kRunningCaption}, .levelsExists = false},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Machine();
    if (c.prepare) c.prepare();
    Fake().answers.assign(c.answers.begin(), c.answers.end());
    Fake().defaultAnswer = c.defaultAnswer;
    Fake().gameRunningChecks = c.gameRunningChecks;
    std::string tail = c.tail;

    EXPECT_EQ(c.status, RunInstaller(&tail[0]));

    std::vector<std::string> captions;
    for (const Box& box : Fake().boxes) captions.push_back(box.caption);
    EXPECT_EQ(c.captions, captions);
    for (const Box& box : Fake().boxes) {
      if (box.caption == kCopyErrorCaption) {
        EXPECT_EQ(CopyErrorBox(c.tail, c.systemText ? c.systemText : ""), box);
      }
    }
    EXPECT_EQ(0, Fake().errorTextsOut) << "system text not given back";
    if (c.installedContents) {
      ASSERT_EQ(1u, Fake().files.count(kInstalled));
      EXPECT_EQ(c.installedContents, Fake().files[kInstalled]);
    } else {
      EXPECT_EQ(0u, Fake().files.count(kInstalled));
    }
    EXPECT_EQ(c.attributeResets, Fake().attributesReset[kInstalled]);
    EXPECT_EQ(c.levelsExists, Fake().directories.count(kLevels) == 1);
    EXPECT_EQ("new", Fake().files[kSource]) << "the source is never touched";
  }
}

TEST_F(FaultTest, TheFailureNamesTheSourceAsItWasGiven) {
  Machine();
  Fake().files["C:\\Temp\\A%20B[1].qlm"] = "x";
  Fake().copyFailsWith = kFakeDiskFull;
  Fake().answers = {kAnswerYes};
  std::string tail = "\"C:\\Temp\\A%20B[1].qlm\" ignored";
  EXPECT_EQ(0, RunInstaller(&tail[0]));
  ASSERT_EQ(2u, Fake().boxes.size());
  EXPECT_EQ(CopyErrorBox("C:\\Temp\\A%20B[1].qlm", "System text 112.\r\n"), Fake().boxes[1]);
}

TEST_F(FaultTest, AFailedCopyIsReportedOnceAndNotRetried) {
  // Whatever the code, one copy is tried, one box reports it, and nothing
  // after it runs: no attribute change, no confirmation.
  const uint32_t codes[] = {kFakeFileNotFound, kFakePathNotFound, kFakeAccessDenied,
                            kFakeSharingViolation, kFakeDiskFull, kFakeNameTooLong, 0xE0001234};
  for (uint32_t code : codes) {
    SCOPED_TRACE(code);
    ResetFake();
    Machine();
    WithOldCopy();
    Fake().copyFailsWith = code;
    std::string tail = kSource;
    EXPECT_EQ(0, RunInstaller(&tail[0]));
    const std::vector<std::string> expected = {
        std::string("Box ") + kQuestionCaption,
        std::string("GameCheck ") + kGameLockName,
        std::string("CreateDirectory ") + kLevels,
        std::string("SetNormal ") + kInstalled,
        std::string("Copy ") + kSource + " -> " + kInstalled,
        std::string("Box ") + kCopyErrorCaption,
    };
    EXPECT_EQ(expected, Fake().calls);
    EXPECT_EQ(0, Fake().errorTextsOut);
  }
}

TEST_F(FaultTest, AProgramPathThatFailsIsAskedForAgainByTheNextOperation) {
  // A failed look-up is not remembered: the installed check and the copy
  // each ask again, and the first success is kept.
  Machine();
  Fake().moduleFileNameFails = true;
  ProgramDirectory program = {};
  char path[kPathBufferSize];
  ASSERT_TRUE(GetInstalledPath(&program, kSource, path));
  EXPECT_STREQ("Levels\\Reef.qlm", path);
  ASSERT_TRUE(GetLevelsDirectory(&program, path));
  EXPECT_STREQ("Levels", path);
  EXPECT_EQ(2, Fake().moduleFileNameCalls);
  Fake().moduleFileNameFails = false;
  ASSERT_TRUE(GetInstalledPath(&program, kSource, path));
  EXPECT_STREQ(kInstalled, path);
  ASSERT_TRUE(GetLevelsDirectory(&program, path));
  EXPECT_STREQ(kLevels, path);
  EXPECT_EQ(3, Fake().moduleFileNameCalls);
}

}  // namespace
