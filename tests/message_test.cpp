// The message service: formatting into the 2048-byte text and the answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "tests/texts.h"
#include "text/message.h"

namespace {

class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

TEST_F(MessageTest, ShowsTheFormattedTextAndPassesTheAnswerOn) {
  struct Case {
    const char* name;
    const char* format;
    const char* argument;
    int answer;
    const char* expected;
  };
  const Case cases[] = {
      {.name = "no conversion", .format = "Plain text.\n\nSecond line", .argument = "",
       .answer = kAnswerOk, .expected = "Plain text.\n\nSecond line"},
      {.name = "percent in the argument", .format = "Name \"%s\"", .argument = "Ocean%20Set%s%n",
       .answer = kAnswerYes, .expected = "Name \"Ocean%20Set%s%n\""},
      {.name = "No comes back", .format = "%s", .argument = "q", .answer = kAnswerNo,
       .expected = "q"},
      {.name = "Retry comes back", .format = "%s", .argument = "q", .answer = kAnswerRetry,
       .expected = "q"},
      {.name = "a box that could not be shown", .format = "%s", .argument = "q",
       .answer = kAnswerNone, .expected = "q"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Fake().answers = {c.answer};
    const uint32_t style = kBoxYesNo | kBoxIconQuestion;
    EXPECT_EQ(c.answer, ShowMessage("Caption", style, c.format, c.argument));
    EXPECT_EQ((std::vector<Box>{{"Caption", style, c.expected}}), Fake().boxes);
  }
}

TEST_F(MessageTest, KeepsTextsUpTo2047BytesWholeAndCutsLongerOnes) {
  struct Case {
    const char* name;
    std::string argument;
    bool codePage932 = false;
    bool utf8 = false;
    std::string expected;
  };
  const std::string pairs(3000, '\x82');
  std::string octopuses;  // in UTF-8: 4 bytes each
  for (int i = 0; i < 600; ++i) octopuses += "\xF0\x9F\x90\x99";
  const Case cases[] = {
      {.name = "2047 bytes stay whole", .argument = std::string(2045, 'a'),
       .expected = std::string("<") + std::string(2045, 'a') + ">"},
      {.name = "2048 bytes lose the last", .argument = std::string(2046, 'a'),
       .expected = std::string("<") + std::string(2046, 'a')},
      {.name = "a long path is cut at 2047", .argument = std::string(5000, 'a'),
       .expected = std::string("<") + std::string(2046, 'a')},
      // "<" and 1023 pairs make 2047 bytes exactly.
      {.name = "pairs that end at the bound", .argument = pairs, .codePage932 = true,
       .expected = std::string("<") + pairs.substr(0, 2046)},
      // "<x" then pairs: byte 2047 would be half a pair, so it goes.
      // A text of 2048 bytes whose byte 2047 would be half a pair.
      {.name = "no half character at the end of 2048 bytes",
       .argument = std::string("x") + pairs.substr(0, 2045),
       .codePage932 = true, .expected = std::string("<x") + pairs.substr(0, 2044)},
      {.name = "no half character at the end", .argument = "x" + pairs, .codePage932 = true,
       .expected = std::string("<x") + pairs.substr(0, 2044)},
      // "<x" and 511 characters of 4 bytes make 2046; the next would end at
      // byte 2050.
      {.name = "no part of a UTF-8 character at the end", .argument = "x" + octopuses,
       .utf8 = true, .expected = std::string("<x") + octopuses.substr(0, 2044)},
      {.name = "bytes that begin no UTF-8 character are cut anywhere",
       .argument = std::string(3000, '\xF0'), .utf8 = true,
       .expected = "<" + std::string(2046, '\xF0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    if (c.utf8) UseUtf8();
    ShowMessage("C", kBoxOk | kBoxIconStop, "<%s>", c.argument.c_str());
    ASSERT_EQ(1u, Fake().boxes.size());
    EXPECT_EQ(c.expected, Fake().boxes[0].text);
  }
}

}  // namespace
