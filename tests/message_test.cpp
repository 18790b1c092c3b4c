// The message service: formatting into the 2048-byte text and the answers.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/fake_platform.h"
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
      {"no conversion", "Plain text.\n\nSecond line", "", kAnswerOk, "Plain text.\n\nSecond line"},
      {"percent in the argument", "Name \"%s\"", "Ocean%20Set%s%n", kAnswerYes,
       "Name \"Ocean%20Set%s%n\""},
      {"No comes back as 7", "%s", "q", kAnswerNo, "q"},
      {"Retry comes back as 4", "%s", "q", kAnswerRetry, "q"},
      {"a box that could not be shown", "%s", "q", kAnswerNone, "q"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Fake().answers = {c.answer};
    EXPECT_EQ(c.answer, ShowMessage("Caption", 0x24, c.format, c.argument));
    ASSERT_EQ(1u, Fake().boxes.size());
    EXPECT_EQ("Caption", Fake().boxes[0].caption);
    EXPECT_EQ(0x24u, Fake().boxes[0].style);
    EXPECT_EQ(c.expected, Fake().boxes[0].text);
  }
}

TEST_F(MessageTest, KeepsTextsUpTo2047BytesWholeAndCutsLongerOnes) {
  struct Case {
    const char* name;
    std::string argument;
    bool codePage932;
    std::string expected;
  };
  const std::string pairs(3000, '\x82');
  const Case cases[] = {
      {"2047 bytes stay whole", std::string(2045, 'a'), false, std::string("<") + std::string(2045, 'a') + ">"},
      {"2048 bytes lose the last", std::string(2046, 'a'), false, std::string("<") + std::string(2046, 'a')},
      {"a long path is cut at 2047", std::string(5000, 'a'), false, std::string("<") + std::string(2046, 'a')},
      // "<" and 1023 pairs make 2047 bytes exactly.
      {"pairs that end at the bound", pairs, true, std::string("<") + pairs.substr(0, 2046)},
      // "<x" then pairs: byte 2047 would be half a pair, so it goes.
      {"no half character at the end", "x" + pairs, true, std::string("<x") + pairs.substr(0, 2044)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    if (c.codePage932) UseCodePage932();
    ShowMessage("C", 0x10, "<%s>", c.argument.c_str());
    ASSERT_EQ(1u, Fake().boxes.size());
    EXPECT_EQ(c.expected.size(), Fake().boxes[0].text.size());
    EXPECT_EQ(c.expected, Fake().boxes[0].text);
  }
}

}  // namespace
