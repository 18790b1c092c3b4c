// The command-line tail and the quotes around the level-set path.
#include <gtest/gtest.h>

#include <string>

#include "dialogue/installer.h"
#include "tests/fake_platform.h"

namespace {

struct TailCase {
  const char* name;
  const char* commandLine;
  bool codePage932;
  const char* tail;
};

TEST(CommandLineTest, TheTailFollowsTheProgramName) {
  const TailCase cases[] = {
      {"quoted name, quoted path", "\"C:\\Program Files\\Q\\Setup.exe\" \"C:\\x.qlm\"", false,
       "\"C:\\x.qlm\""},
      {"bare name", "Setup.exe C:\\x.qlm", false, "C:\\x.qlm"},
      {"no tail", "Setup.exe", false, ""},
      {"only blanks after the name", "Setup.exe   ", false, ""},
      {"a leading blank makes the name empty", " Setup.exe \"C:\\x.qlm\"", false,
       "Setup.exe \"C:\\x.qlm\""},
      {"every byte up to 0x20 is skipped", "Setup.exe\t\x01\x1f x", false, "x"},
      {"trailing blanks stay", "Setup.exe C:\\a b.qlm  ", false, "C:\\a b.qlm  "},
      {"a name quote never closed", "\"C:\\Setup.exe x", false, ""},
      {"the tail may follow the closing quote at once", "\"a\"b c", false, "b c"},
      {"an empty quoted name", "\"\" x", false, "x"},
      {"an empty command line", "", false, ""},
      // In code page 932 a lead byte takes the byte after it, even a quote.
      {"a quote inside a double-byte character", "\"C:\\\x83\" dir\\Setup.exe\" tail", true,
       "tail"},
      {"the same bytes in a single-byte code page", "\"C:\\\x83\" dir\\Setup.exe\" tail", false,
       "dir\\Setup.exe\" tail"},
      {"a lead byte before the terminator ends the scan", "\"C:\\\x83", true, ""},
      {"a bare name is cut at a blank whatever came before", "\x83 x", true, "x"},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    std::string line = c.commandLine;
    char* tail = GetCommandLineTail(&line[0]);
    EXPECT_GE(tail, &line[0]);
    EXPECT_LE(tail, &line[0] + line.size());
    EXPECT_STREQ(c.tail, tail);
  }
}

TEST(CommandLineTest, StripQuotesTakesTheFirstQuotedPart) {
  struct Case {
    const char* text;
    const char* path;
  };
  const Case cases[] = {
      {"\"C:\\a b.qlm\"", "C:\\a b.qlm"},
      {"\"C:\\a.qlm\" more words", "C:\\a.qlm"},
      {"words before \"C:\\a.qlm\" after", "C:\\a.qlm"},
      {"C:\\a b.qlm", "C:\\a b.qlm"},
      {"\"C:\\a.qlm", "\"C:\\a.qlm"},
      {"C:\\a.qlm\"", "C:\\a.qlm\""},
      {"\"\"", ""},
      {"a\"b\"c\"d\"", "b"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    char* path = StripQuotes(&text[0]);
    EXPECT_STREQ(c.path, path);
    EXPECT_GE(path, &text[0]);
    EXPECT_LE(path, &text[0] + text.size());
  }
}

TEST(CommandLineTest, AWholeWindowsCommandLineReachesTheQuestion) {
  ResetFake();
  Fake().directories = {"C:", "C:\\Temp"};
  Fake().files["C:\\Temp\\Ocean%20Set[2].qlm"] = "ocean";
  Fake().answers = {7};
  std::string line = "\"C:\\Games\\Quillomar\\levelset-installer.exe\" \"C:\\Temp\\Ocean%20Set[2].qlm\"";
  EXPECT_EQ(0, RunInstaller(GetCommandLineTail(&line[0])));
  ASSERT_EQ(1u, Fake().boxes.size());
  EXPECT_EQ(QuestionBox("Ocean Set"), Fake().boxes[0]);
}

}  // namespace
