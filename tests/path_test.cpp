// Path splitting, name cleaning and comparison, with Windows paths and, where
// it matters, the double-byte code page 932.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "levelset/levelset.h"
#include "tests/fake_platform.h"

namespace {

TEST(SplitPathTest, SplitsIntoItsParts) {
  struct Case {
    const char* path;
    const char* drive = "";
    const char* directory = "";
    const char* fileName = "";
    const char* extension = "";
    bool codePage932 = false;
    bool utf8 = false;
  };
  const Case cases[] = {
      {.path = "C:\\Temp\\Ocean Set.qlm", .drive = "C:", .directory = "\\Temp\\",
       .fileName = "Ocean Set", .extension = ".qlm"},
      {.path = ".qlm", .extension = ".qlm"},
      {.path = "C:\\a.b\\c", .drive = "C:", .directory = "\\a.b\\", .fileName = "c"},
      {.path = "1:.qlm", .drive = "1:", .extension = ".qlm"},
      {.path = ""},
      {.path = "C", .fileName = "C"},
      {.path = "C:", .drive = "C:"},
      {.path = "dir/sub\\name.tar.qlm", .directory = "dir/sub\\", .fileName = "name.tar",
       .extension = ".qlm"},
      {.path = "\\\\server\\share\\x.QLM", .directory = "\\\\server\\share\\", .fileName = "x",
       .extension = ".QLM"},
      {.path = "/opt/q/Levels/Ocean Set.qlm", .directory = "/opt/q/Levels/",
       .fileName = "Ocean Set", .extension = ".qlm"},
      {.path = "name.", .fileName = "name", .extension = "."},
      {.path = "a/b.", .directory = "a/", .fileName = "b", .extension = "."},
      {.path = "ab:c\\d", .directory = "ab:c\\", .fileName = "d"},
      // 0x83 0x5C is one character in code page 932: its second byte is no
      // separator there, and is one in a single-byte code page.
      {.path = "C:\\Temp\\\x83\x5C[2].qlm", .drive = "C:", .directory = "\\Temp\\",
       .fileName = "\x83\x5C[2]", .extension = ".qlm", .codePage932 = true},
      {.path = "C:\\Temp\\\x83\x5C[2].qlm", .drive = "C:", .directory = "\\Temp\\\x83\\",
       .fileName = "[2]", .extension = ".qlm"},
      // A pair whose second byte is "." is no dot either.
      {.path = "x\x81.qlm", .fileName = "x\x81.qlm", .codePage932 = true},
      {.path = "x\xFC.qlm", .fileName = "x\xFC.qlm", .codePage932 = true},
      // A lead byte at the very end stands alone and is kept.
      {.path = "a\\b\x81", .directory = "a\\", .fileName = "b\x81", .codePage932 = true},
      {.path = "a\\\x81", .directory = "a\\", .fileName = "\x81", .codePage932 = true},
      // UTF-8 keeps the byte rules: a byte that begins no whole character
      // hides no separator and no dot.
      {.path = "x\xC3\\y\xF0\x9F.qlm", .directory = "x\xC3\\", .fileName = "y\xF0\x9F",
       .extension = ".qlm", .utf8 = true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    if (c.utf8) UseUtf8();
    char drive[kDriveSize], directory[kPartSize], fileName[kPartSize], extension[kPartSize];
    SplitPath(c.path, drive, directory, fileName, extension);
    EXPECT_STREQ(c.drive, drive);
    EXPECT_STREQ(c.directory, directory);
    EXPECT_STREQ(c.fileName, fileName);
    EXPECT_STREQ(c.extension, extension);
    // Any part may be left out.
    SplitPath(c.path, nullptr, nullptr, fileName, nullptr);
    EXPECT_STREQ(c.fileName, fileName);
  }
}

TEST(SplitPathTest, CutsEachPartTo255BytesAtAWholeCharacter) {
  struct Case {
    const char* name;
    std::string fileName;
    bool codePage932 = false;
    bool utf8 = false;
    size_t expectedLength;
  };
  const std::string pairs(300, '\x82');  // in 932: 150 double-byte characters
  std::string octopuses, cyrillic;         // in UTF-8: 4 and 2 bytes each
  for (int i = 0; i < 100; ++i) octopuses += "\xF0\x9F\x90\x99", cyrillic += "\xD0\x96";
  const Case cases[] = {
      {.name = "255 bytes stay whole", .fileName = std::string(255, 'a'), .expectedLength = 255},
      {.name = "256 bytes lose one", .fileName = std::string(256, 'a'), .expectedLength = 255},
      {.name = "long name cut at 255", .fileName = std::string(400, 'a'), .expectedLength = 255},
      {.name = "pairs ending at 254 keep 254", .fileName = pairs, .codePage932 = true,
       .expectedLength = 254},
      {.name = "one byte then pairs end at 255", .fileName = "a" + pairs, .codePage932 = true,
       .expectedLength = 255},
      {.name = "single-byte code page cuts anywhere", .fileName = pairs, .expectedLength = 255},
      {.name = "UTF-8 characters ending at 252 keep 252", .fileName = octopuses, .utf8 = true,
       .expectedLength = 252},
      {.name = "one byte then UTF-8 characters end at 255", .fileName = "a" + cyrillic + cyrillic,
       .utf8 = true, .expectedLength = 255},
      {.name = "bytes that begin no UTF-8 character are cut anywhere",
       .fileName = std::string(300, '\xF0'), .utf8 = true, .expectedLength = 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    if (c.utf8) UseUtf8();
    std::string path = "C:\\" + c.fileName + ".qlm";
    char directory[kPartSize], fileName[kPartSize], extension[kPartSize];
    SplitPath(path.c_str(), nullptr, directory, fileName, extension);
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

TEST(CleaningTest, EachCleaningAndTheDisplayName) {
  // DecodeSpaces turns every "%20" into a blank and nothing else;
  // StripCopySuffix removes one numeric suffix from the very end; the
  // display name is the file-name part, decoded, then stripped.
  enum Cleaning { kDecode, kStrip, kDisplay };
  struct Case {
    Cleaning cleaning;
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {.cleaning = kDecode, .input = "Ocean%20Set", .expected = "Ocean Set"},
      {.cleaning = kDecode, .input = "%20%20", .expected = "  "},
      {.cleaning = kDecode, .input = "%2520", .expected = "%2520"},
      {.cleaning = kDecode, .input = "%%200", .expected = "% 0"},
      {.cleaning = kDecode, .input = "%41%2", .expected = "%41%2"},
      {.cleaning = kDecode, .input = "Set%30%21", .expected = "Set%30%21"},
      {.cleaning = kDecode, .input = "a%20", .expected = "a "},
      {.cleaning = kDecode, .input = "", .expected = ""},
      {.cleaning = kDecode, .input = "%2%20", .expected = "%2 "},
      {.cleaning = kStrip, .input = "Ocean Set-2", .expected = "Ocean Set"},
      {.cleaning = kStrip, .input = "Ocean Set[12]", .expected = "Ocean Set"},
      {.cleaning = kStrip, .input = "Set-02", .expected = "Set"},
      {.cleaning = kStrip, .input = "Set[007]", .expected = "Set"},
      {.cleaning = kStrip, .input = "Ocean-Set", .expected = "Ocean-Set"},
      {.cleaning = kStrip, .input = "Ocean Set-", .expected = "Ocean Set-"},
      {.cleaning = kStrip, .input = "Ocean Set[]", .expected = "Ocean Set[]"},
      {.cleaning = kStrip, .input = "Ocean Set (2)", .expected = "Ocean Set (2)"},
      {.cleaning = kStrip, .input = "Ocean Set -2", .expected = "Ocean Set "},
      {.cleaning = kStrip, .input = "Set[12]]", .expected = "Set"},
      {.cleaning = kStrip, .input = "-5", .expected = ""},
      {.cleaning = kStrip, .input = "[3]", .expected = ""},
      {.cleaning = kStrip, .input = "Set[1]-2", .expected = "Set[1]"},
      {.cleaning = kStrip, .input = "Set-1[2]", .expected = "Set-1"},
      {.cleaning = kStrip, .input = "Set[1][2]", .expected = "Set[1]"},
      {.cleaning = kStrip, .input = "Set-2-3", .expected = "Set-2"},
      {.cleaning = kStrip, .input = "Ocean[2] Deep", .expected = "Ocean[2] Deep"},
      {.cleaning = kStrip, .input = "Ocean-2 Deep", .expected = "Ocean-2 Deep"},
      {.cleaning = kStrip, .input = "", .expected = ""},
      {.cleaning = kStrip, .input = "]", .expected = "]"},
      {.cleaning = kStrip, .input = "Set[2a]", .expected = "Set[2a]"},
      {.cleaning = kStrip, .input = "Set-2a", .expected = "Set-2a"},
      {.cleaning = kStrip, .input = "a[1]b]", .expected = "a"},  // between the "]"s: not looked at
      {.cleaning = kStrip, .input = "a-[1]", .expected = "a-"},
      {.cleaning = kStrip, .input = "Set-\xd9", .expected = "Set-\xd9"},  // above 0x7F: no digit
      {.cleaning = kStrip, .input = "Set[/]", .expected = "Set[/]"},      // 0x2F, below "0"
      {.cleaning = kStrip, .input = "Set-:", .expected = "Set-:"},        // 0x3A, above "9"
      {.cleaning = kDisplay, .input = "C:\\Temp\\Ocean%20Set[2].qlm", .expected = "Ocean Set"},
      {.cleaning = kDisplay, .input = "Set%20-2.qlm", .expected = "Set "},
      {.cleaning = kDisplay, .input = "a.b\\Deep%20Sea", .expected = "Deep Sea"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ResetFake();
    char buffer[kPathBufferSize];
    snprintf(buffer, sizeof buffer, "%s", c.input);
    if (c.cleaning == kDecode) DecodeSpaces(buffer);
    if (c.cleaning == kStrip) StripCopySuffix(buffer);
    if (c.cleaning == kDisplay) GetDisplayName(c.input, buffer);
    EXPECT_STREQ(c.expected, buffer);
  }
}

TEST(CompareTest, FoldsOnlyAsciiLettersAndKnowsALevelSet) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {.a = "C:\\Games\\Levels\\X.QLM", .b = "c:\\games\\levels\\x.qlm", .equal = true},
      {.a = "abc", .b = "abc", .equal = true},
      {.a = "", .b = "", .equal = true},
      {.a = "abc", .b = "ab", .equal = false},
      {.a = "@", .b = "`", .equal = false},  // 0x40 and 0x60 differ by the case bit: no letters
      {.a = "[", .b = "{", .equal = false},
      {.a = "\xC4", .b = "\xE4", .equal = false},  // Latin-1 Ä and ä are not folded
      {.a = "\x81", .b = "\xA1", .equal = false},
      {.a = "\xFF", .b = "\xFF", .equal = true},
      {.a = "Z", .b = "z", .equal = true},
      {.a = "\\", .b = "/", .equal = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(c.equal, EqualsIgnoreCase(c.a, c.b));
    EXPECT_EQ(c.equal, EqualsIgnoreCase(c.b, c.a));
  }

  struct LevelSetCase {
    const char* path;
    bool isLevelSet;
  };
  const LevelSetCase levelSets[] = {
      {.path = "a.qlm", .isLevelSet = true},       {.path = "a.QLM", .isLevelSet = true},
      {.path = "a.Qlm", .isLevelSet = true},       {.path = ".qlm", .isLevelSet = true},
      {.path = "x.tar.qlm", .isLevelSet = true},   {.path = "a.qlm ", .isLevelSet = false},
      {.path = "a.qlmx", .isLevelSet = false},     {.path = "a.qlm\\b", .isLevelSet = false},
      {.path = "a.qlm\\", .isLevelSet = false},    {.path = "a", .isLevelSet = false},
      {.path = "a.ql", .isLevelSet = false},       {.path = "C:\\x.qlm.txt", .isLevelSet = false},
      {.path = "", .isLevelSet = false},           {.path = "qlm", .isLevelSet = false},
  };
  for (const LevelSetCase& c : levelSets) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.isLevelSet, IsLevelSetFile(c.path));
  }
}

}  // namespace
