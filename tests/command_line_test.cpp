// The command-line tail and the quotes around the level-set path.
#include <gtest/gtest.h>

#include <string>

#include "dialogue/installer.h"
#include "tests/fake_platform.h"

namespace {

TEST(CommandLineTest, TheTailFollowsTheProgramName) {
  struct Case {
    const char* name;
    const char* commandLine;
    bool codePage932 = false;
    bool utf8 = false;
    const char* tail;
  };
  const Case cases[] = {
      {.name = "quoted name, quoted path",
       .commandLine = "\"C:\\Program Files\\Q\\Setup.exe\" \"C:\\x.qlm\"", .tail = "\"C:\\x.qlm\""},
      {.name = "bare name", .commandLine = "Setup.exe C:\\x.qlm", .tail = "C:\\x.qlm"},
      {.name = "no tail", .commandLine = "Setup.exe", .tail = ""},
      {.name = "only blanks after the name", .commandLine = "Setup.exe   ", .tail = ""},
      {.name = "a leading blank makes the name empty", .commandLine = " Setup.exe \"C:\\x.qlm\"",
       .tail = "Setup.exe \"C:\\x.qlm\""},
      {.name = "every byte up to 0x20 is skipped", .commandLine = "Setup.exe\t\x01\x1f x",
       .tail = "x"},
      {.name = "trailing blanks stay", .commandLine = "Setup.exe C:\\a b.qlm  ",
       .tail = "C:\\a b.qlm  "},
      {.name = "a name quote never closed", .commandLine = "\"C:\\Setup.exe x", .tail = ""},
      {.name = "the tail may follow the closing quote at once", .commandLine = "\"a\"b c",
       .tail = "b c"},
      {.name = "an empty quoted name", .commandLine = "\"\" x", .tail = "x"},
      {.name = "an empty command line", .commandLine = "", .tail = ""},
      // In code page 932 a lead byte takes the byte after it, even a quote.
      {.name = "a quote inside a double-byte character",
       .commandLine = "\"C:\\\x83\" dir\\Setup.exe\" tail", .codePage932 = true, .tail = "tail"},
      {.name = "the same bytes in a single-byte code page",
       .commandLine = "\"C:\\\x83\" dir\\Setup.exe\" tail", .tail = "dir\\Setup.exe\" tail"},
      {.name = "a lead byte before the terminator ends the scan",
       .commandLine = "\"C:\\\x83", .codePage932 = true, .tail = ""},
      {.name = "a bare name is cut at a blank whatever came before",
       .commandLine = "\x83 x", .codePage932 = true, .tail = "x"},
      // UTF-8 keeps the byte rule: a byte that begins no whole character
      // hides no quote.
      {.name = "no quote inside a UTF-8 character",
       .commandLine = "\"C:\\\xC3\" dir\\Setup.exe\" tail", .utf8 = true,
       .tail = "dir\\Setup.exe\" tail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    if (c.utf8) UseUtf8();
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
      {.text = "\"C:\\a b.qlm\"", .path = "C:\\a b.qlm"},
      {.text = "\"C:\\a.qlm\" more words", .path = "C:\\a.qlm"},
      {.text = "words before \"C:\\a.qlm\" after", .path = "C:\\a.qlm"},
      {.text = "C:\\a b.qlm", .path = "C:\\a b.qlm"},
      {.text = "\"C:\\a.qlm", .path = "\"C:\\a.qlm"},
      {.text = "C:\\a.qlm\"", .path = "C:\\a.qlm\""},
      {.text = "\"\"", .path = ""},
      {.text = "a\"b\"c\"d\"", .path = "b"},
      {.text = "", .path = ""},
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
  Fake().answers = {kAnswerNo};
  std::string line = "\"C:\\Games\\Quillomar\\levelset-installer.exe\" \"C:\\Temp\\Ocean%20Set[2].qlm\"";
  EXPECT_EQ(0, RunInstaller(GetCommandLineTail(&line[0])));
  ASSERT_EQ(1u, Fake().boxes.size());
  EXPECT_EQ(QuestionBox("Ocean Set"), Fake().boxes[0]);
}

}  // namespace
