// Path splitting, name cleaning and comparison, with Windows paths and, where
// it matters, the double-byte code page 932.
#include <gtest/gtest.h>

#include <string>

#include "levelset/levelset.h"
#include "tests/fake_platform.h"

namespace {

struct SplitCase {
  const char* path;
  const char* drive;
  const char* directory;
  const char* fileName;
  const char* extension;
  bool codePage932;
};

class SplitPathTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

TEST_F(SplitPathTest, SplitsIntoItsParts) {
  const SplitCase cases[] = {
      {"C:\\Temp\\Ocean Set.qlm", "C:", "\\Temp\\", "Ocean Set", ".qlm", false},
      {".qlm", "", "", "", ".qlm", false},
      {"C:\\a.b\\c", "C:", "\\a.b\\", "c", "", false},
      {"1:.qlm", "1:", "", "", ".qlm", false},
      {"", "", "", "", "", false},
      {"C", "", "", "C", "", false},
      {"C:", "C:", "", "", "", false},
      {"dir/sub\\name.tar.qlm", "", "dir/sub\\", "name.tar", ".qlm", false},
      {"\\\\server\\share\\x.QLM", "", "\\\\server\\share\\", "x", ".QLM", false},
      {"/opt/q/Levels/Ocean Set.qlm", "", "/opt/q/Levels/", "Ocean Set", ".qlm", false},
      {"name.", "", "", "name", ".", false},
      {"a/b.", "", "a/", "b", ".", false},
      {"ab:c\\d", "", "ab:c\\", "d", "", false},
      // 0x83 0x5C is one character in code page 932: its second byte is no
      // separator there, and is one in a single-byte code page.
      {"C:\\Temp\\\x83\x5C[2].qlm", "C:", "\\Temp\\", "\x83\x5C[2]", ".qlm", true},
      {"C:\\Temp\\\x83\x5C[2].qlm", "C:", "\\Temp\\\x83\\", "[2]", ".qlm", false},
      // A pair whose second byte is "." is no dot either.
      {"x\x81.qlm", "", "", "x\x81.qlm", "", true},
      {"x\x81.q.qlm", "", "", "x\x81.q", ".qlm", true},
      // A lead byte at the very end stands alone and is kept.
      {"a\\b\x81", "", "a\\", "b\x81", "", true},
      {"a\\\x81", "", "a\\", "\x81", "", true},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.path);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    char drive[kDriveSize], directory[kPartSize], fileName[kPartSize], extension[kPartSize];
    SplitPath(c.path, drive, directory, fileName, extension);
    EXPECT_STREQ(c.drive, drive);
    EXPECT_STREQ(c.directory, directory);
    EXPECT_STREQ(c.fileName, fileName);
    EXPECT_STREQ(c.extension, extension);
  }
}

TEST_F(SplitPathTest, AnyPartMayBeLeftOut) {
  char fileName[kPartSize];
  SplitPath("C:\\Temp\\Ocean Set.qlm", nullptr, nullptr, fileName, nullptr);
  EXPECT_STREQ("Ocean Set", fileName);
}

struct CutCase {
  const char* name;
  std::string fileName;
  bool codePage932;
  size_t expectedLength;
};

TEST_F(SplitPathTest, CutsEachPartTo255BytesAtAWholeCharacter) {
  const std::string pairs(300, '\x82');  // in 932: 150 double-byte characters
  const CutCase cases[] = {
      {"255 bytes stay whole", std::string(255, 'a'), false, 255},
      {"256 bytes lose one", std::string(256, 'a'), false, 255},
      {"long name cut at 255", std::string(400, 'a'), false, 255},
      {"pairs ending at 254 keep 254", pairs, true, 254},
      {"one byte then pairs end at 255", "a" + pairs, true, 255},
      {"single-byte code page cuts anywhere", pairs, false, 255},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    std::string path = "C:\\" + c.fileName + ".qlm";
    char directory[kPartSize], fileName[kPartSize], extension[kPartSize];
    SplitPath(path.c_str(), nullptr, directory, fileName, extension);
    EXPECT_EQ(c.expectedLength, std::string(fileName).size());
    EXPECT_EQ(c.fileName.substr(0, c.expectedLength), fileName);
    EXPECT_STREQ(".qlm", extension);
    // The directory and the extension are cut by the same rule.
    std::string longDirectory = "C:\\" + c.fileName + "\\x." + c.fileName;
    SplitPath(longDirectory.c_str(), nullptr, directory, fileName, extension);
    EXPECT_LE(std::string(directory).size(), 255u);
    EXPECT_LE(std::string(extension).size(), 255u);
    EXPECT_STREQ("x", fileName);
  }
}

struct CleanCase {
  const char* input;
  const char* expected;
};

TEST(CleaningTest, DecodeSpacesTurnsEveryPercent20IntoABlank) {
  const CleanCase cases[] = {
      {"Ocean%20Set", "Ocean Set"},
      {"%20%20", "  "},
      {"%2520", "%2520"},
      {"%%200", "% 0"},
      {"%41%2", "%41%2"},
      {"a%20", "a "},
      {"", ""},
      {"%20", " "},
      {"%2%20", "%2 "},
  };
  for (const CleanCase& c : cases) {
    SCOPED_TRACE(c.input);
    std::string buffer = c.input;
    DecodeSpaces(&buffer[0]);
    EXPECT_STREQ(c.expected, buffer.c_str());
  }
}

TEST(CleaningTest, StripCopySuffixRemovesOneNumericSuffix) {
  const CleanCase cases[] = {
      {"Ocean Set-2", "Ocean Set"},
      {"Ocean Set[12]", "Ocean Set"},
      {"Set-02", "Set"},
      {"Set[007]", "Set"},
      {"Ocean-Set", "Ocean-Set"},
      {"Ocean Set-", "Ocean Set-"},
      {"Ocean Set[]", "Ocean Set[]"},
      {"Ocean Set (2)", "Ocean Set (2)"},
      {"Ocean Set -2", "Ocean Set "},
      {"Set[12]]", "Set"},
      {"-5", ""},
      {"[3]", ""},
      {"Set[1]-2", "Set[1]"},
      {"Set-1[2]", "Set-1"},
      {"Set[1][2]", "Set[1]"},
      {"Set-2-3", "Set-2"},
      {"", ""},
      {"]", "]"},
      {"Set[2a]", "Set[2a]"},
      {"Set-2a", "Set-2a"},
      {"a[1]b]", "a"},  // what stands between the two "]" is not looked at
      {"a-[1]", "a-"},
      {"Set-\xd9", "Set-\xd9"},  // a byte above 0x7F is no digit
  };
  for (const CleanCase& c : cases) {
    SCOPED_TRACE(c.input);
    std::string buffer = c.input;
    StripCopySuffix(&buffer[0]);
    EXPECT_STREQ(c.expected, buffer.c_str());
  }
}

struct CompareCase {
  const char* a;
  const char* b;
  bool equal;
};

TEST(CompareTest, FoldsOnlyAsciiLetters) {
  const CompareCase cases[] = {
      {"C:\\Games\\Levels\\X.QLM", "c:\\games\\levels\\x.qlm", true},
      {"abc", "abc", true},
      {"", "", true},
      {"abc", "ab", false},
      {"ab", "abc", false},
      {"@", "`", false},    // 0x40 and 0x60 differ by the case bit but are no letters
      {"[", "{", false},
      {"\xC4", "\xE4", false},  // Latin-1 Ä and ä are not folded
      {"\x81", "\xA1", false},
      {"\xFF", "\xFF", true},
      {"Z", "z", true},
      {"\\", "/", false},
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(c.equal, EqualsIgnoreCase(c.a, c.b));
    EXPECT_EQ(c.equal, EqualsIgnoreCase(c.b, c.a));
  }
}

struct LevelSetCase {
  const char* path;
  bool isLevelSet;
};

TEST(LevelSetFileTest, RecognisesTheExtensionInAnyCase) {
  const LevelSetCase cases[] = {
      {"a.qlm", true},          {"a.QLM", true},         {"a.Qlm", true},
      {".qlm", true},           {"a.qlm ", false},       {"a.qlmx", false},
      {"a.qlm\\b", false},      {"a.qlm\\", false},      {"a", false},
      {"a.ql", false},          {"C:\\x.qlm.txt", false}, {"x.tar.qlm", true},
      {"", false},              {"qlm", false},
  };
  for (const LevelSetCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.isLevelSet, IsLevelSetFile(c.path));
  }
}

}  // namespace
