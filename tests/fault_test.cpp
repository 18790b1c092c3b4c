// Each platform operation failing in turn: directory creation, attribute
// changes, the program file's path, the copy with its failure codes, a
// system text that cannot be had, and a box that cannot be shown at each
// box of the flow. Every row checks the boxes, the exit status, the files
// and that the system text was given back.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dialogue/installer.h"
#include "levelset/levelset.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"

namespace {

const char kLevels[] = "C:\\Games\\Quillomar\\Levels";
const char kSource[] = "C:\\Temp\\Reef-4.qlm";
const char kInstalled[] = "C:\\Games\\Quillomar\\Levels\\Reef.qlm";

const char kQuestion[] = "Quillomar";
const char kDone[] = "Level Set Installed";
const char kNotFound[] = "Level Set Not Found";
const char kInvalid[] = "Invalid File";
const char kRunning[] = "Quillomar is Running";
const char kCopyError[] = "Error Installing Level Set";

std::string CopyErrorText(const std::string& source, const std::string& systemText) {
  return "The Level Set: \"" + source +
         "\" could not be installed, due to the following error:\n\t" + systemText;
}

// The game in C:\Games\Quillomar, the level set in C:\Temp.
void Machine() {
  Fake().directories = {"C:", "C:\\Games", "C:\\Games\\Quillomar", "C:\\Temp"};
  Fake().files[kSource] = "new";
}

void WithOldCopy() {
  Fake().directories.insert(kLevels);
  Fake().files[kInstalled] = "old";
}

struct FaultCase {
  const char* name;
  void (*prepare)();
  const char* tail;
  std::vector<int> answers;  // then every box answers defaultAnswer
  int defaultAnswer;
  int gameRunningChecks;
  std::vector<std::string> captions;  // the boxes, in order
  std::string copyErrorText;          // the text of the copy-failure box, if any
  int status;
  const char* installedContents;  // what kInstalled holds afterwards; null: absent
  int attributeResets;            // of kInstalled
  bool levelsExists;              // afterwards
};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

TEST_F(FaultTest, EachPlatformOperationFailingInTurn) {
  const FaultCase cases[] = {
      // Directory creation: tolerated; it matters only when Levels is not there.
      {"Levels cannot be created but is there", [] { WithOldCopy(); Fake().createDirectoryFails = true; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kDone}, "", 1, "new", 2, true},
      {"Levels cannot be created and is not there: the copy reports path not found",
       [] { Fake().createDirectoryFails = true; }, kSource, {kAnswerYes}, kAnswerOk, 0,
       {kQuestion, kCopyError}, CopyErrorText(kSource, "System text 3.\r\n"), 0, nullptr, 0,
       false},
      {"the program directory does not exist", [] { Fake().directories.erase("C:\\Games\\Quillomar"); },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 3.\r\n"), 0, nullptr, 0, false},

      // Attribute changes: tolerated before and after the copy.
      {"attributes of the old copy cannot be changed", [] { WithOldCopy(); Fake().setAttributesFails = true; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kDone}, "", 1, "new", 0, true},
      {"attributes cannot be changed and there is no old copy", [] { Fake().setAttributesFails = true; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kDone}, "", 1, "new", 0, true},

      // The program file's path: the paths are then relative to the current
      // directory, which here holds no Levels to create it in.
      {"the program file's path cannot be had",
       [] { WithOldCopy(); Fake().moduleFileNameFails = true; }, kSource, {kAnswerYes}, kAnswerOk,
       0, {kQuestion, kCopyError}, CopyErrorText(kSource, "System text 3.\r\n"), 0, "old", 0,
       true},
      {"the program file's path cannot be had where the platform will not go on without it",
       [] {
         WithOldCopy();
         Fake().moduleFileNameFails = true;
         Fake().moduleFileNameRefusal = kFakeFileNotFound;
       },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 2.\r\n"), 0, "old", 0, true},
      {"the program file's path is too long to be had whole",
       [] {
         WithOldCopy();
         Fake().moduleFileName = "C:\\" + std::string(300, 'p') + "\\Setup.exe";
       },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 206.\r\n"), 0, "old", 0, true},

      // The copy, with several failure codes; an old copy stays as it was,
      // with the normal attributes it was given before the copy.
      {"copy: file not found", [] { WithOldCopy(); Fake().copyFailsWith = kFakeFileNotFound; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 2.\r\n"), 0, "old", 1, true},
      {"copy: access denied", [] { WithOldCopy(); Fake().copyFailsWith = kFakeAccessDenied; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 5.\r\n"), 0, "old", 1, true},
      {"copy: sharing violation", [] { WithOldCopy(); Fake().copyFailsWith = kFakeSharingViolation; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 32.\r\n"), 0, "old", 1, true},
      {"copy: name too long, no old copy", [] { Fake().copyFailsWith = kFakeNameTooLong; },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "System text 206.\r\n"), 0, nullptr, 0, true},
      {"copy: the failure names the source as it was given",
       [] {
         Fake().files["C:\\Temp\\A%20B[1].qlm"] = "x";
         Fake().copyFailsWith = kFakeDiskFull;
       },
       "\"C:\\Temp\\A%20B[1].qlm\" ignored", {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText("C:\\Temp\\A%20B[1].qlm", "System text 112.\r\n"), 0, nullptr, 0, true},

      // The system text that cannot be had.
      {"no system text for access denied",
       [] {
         WithOldCopy();
         Fake().copyFailsWith = kFakeAccessDenied;
         Fake().codesWithoutText = {kFakeAccessDenied};
       },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "Error 5 (the system has no text for it)."), 0, "old", 1, true},
      {"no system text for a name too long to build",
       [] {
         Fake().moduleFileName = "C:\\" + std::string(300, 'p') + "\\Setup.exe";
         Fake().codesWithoutText = {kFakeNameTooLong};
       },
       kSource, {kAnswerYes}, kAnswerOk, 0, {kQuestion, kCopyError},
       CopyErrorText(kSource, "Error 206 (the system has no text for it)."), 0, nullptr, 0,
       false},

      // A box that cannot be shown, at each box of the flow.
      {"not-found box not shown", nullptr, "C:\\Temp\\gone.qlm", {}, kAnswerNone, 0,
       {kNotFound}, "", 0, nullptr, 0, false},
      {"invalid-file box not shown", [] { Fake().files["C:\\Temp\\a.txt"] = "t"; },
       "C:\\Temp\\a.txt", {}, kAnswerNone, 0, {kInvalid}, "", 0, nullptr, 0, false},
      {"already-installed box not shown", WithOldCopy, kInstalled, {kAnswerYes}, kAnswerNone, 0,
       {kQuestion, kDone}, "", 0, "old", 0, true},
      {"copy-failure box not shown: the text is still given back",
       [] { Fake().copyFailsWith = kFakeAccessDenied; }, kSource, {kAnswerYes}, kAnswerNone, 0,
       {kQuestion, kCopyError}, CopyErrorText(kSource, "System text 5.\r\n"), 0, nullptr, 0,
       true},
      {"confirmation not shown: still installed", nullptr, kSource, {kAnswerYes}, kAnswerNone, 0,
       {kQuestion, kDone}, "", 1, "new", 1, true},
      {"no box shown at all, game not running: installed", WithOldCopy, kSource, {}, kAnswerNone,
       0, {kQuestion, kDone}, "", 1, "new", 2, true},
      {"no box shown at all, game running: nothing done", WithOldCopy, kSource, {}, kAnswerNone,
       -1, {kQuestion, kRunning}, "", 0, "old", 0, true},
      {"warning not shown after a Retry", nullptr, kSource, {kAnswerYes, kAnswerRetry},
       kAnswerNone, -1, {kQuestion, kRunning, kRunning}, "", 0, nullptr, 0, false},
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
    for (const FakeBox& box : Fake().boxes) captions.push_back(box.caption);
    EXPECT_EQ(c.captions, captions);
    for (const FakeBox& box : Fake().boxes) {
      if (box.caption != kCopyError) continue;
      EXPECT_EQ(c.copyErrorText, box.text);
      EXPECT_EQ(0x40u, box.style) << "the copy failure has the information icon";
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
        "Box Quillomar",
        "GameCheck QovCurrentlyRunningMutex",
        std::string("CreateDirectory ") + kLevels,
        std::string("SetNormal ") + kInstalled,
        std::string("Copy ") + kSource + " -> " + kInstalled,
        std::string("Box ") + kCopyError,
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
  char path[kPathBufferSize];
  ASSERT_TRUE(GetInstalledPath(kSource, path));
  EXPECT_STREQ("Levels\\Reef.qlm", path);
  ASSERT_TRUE(GetLevelsDirectory(path));
  EXPECT_STREQ("Levels", path);
  EXPECT_EQ(2, Fake().moduleFileNameCalls);
  Fake().moduleFileNameFails = false;
  ASSERT_TRUE(GetInstalledPath(kSource, path));
  EXPECT_STREQ(kInstalled, path);
  ASSERT_TRUE(GetLevelsDirectory(path));
  EXPECT_STREQ(kLevels, path);
  EXPECT_EQ(3, Fake().moduleFileNameCalls);
}

}  // namespace
