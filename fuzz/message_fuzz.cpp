// The message texts: every template of the installer with an argument of
// any length, in a single-byte code page, in code page 932 and in UTF-8.
//
// The name as the boxes show it, too: the same argument with its line
// breaks, tabs and line separators escaped, in the same buffer.
//
// Input: one byte of switches (1: code page 932; the next bits pick the
// template, bit 4 also UTF-8 where not 932, and the top three how many
// times the rest is repeated), then the argument.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/model.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "text/message.h"

namespace {

// The installer's templates, as the shared texts give them with the
// argument left open.
const std::string kTemplates[] = {
    NotFoundBox("%s").text, InvalidBox("%s").text, QuestionBox("%s").text,
    AlreadyBox("%s").text,  DoneBox("%s").text,    "%s",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  model::CodePage code = model::PickCodePage(data[0], 0x10);
  const char* format = kTemplates[(data[0] >> 1) % (sizeof kTemplates / sizeof *kTemplates)].c_str();
  int repeat = 1 + (data[0] >> 5);  // 1 to 8
  std::string piece(reinterpret_cast<const char*>(data + 1), size - 1);
  piece = std::string(piece.c_str());
  std::string argument;
  for (int i = 0; i < repeat; ++i) argument += piece;
  std::string input(reinterpret_cast<const char*>(data), size);
  ResetFake();
  UseCodePage(code);
  Fake().answers = {kAnswerRetry};

  // The whole text, formatted without a bound.
  int length = snprintf(nullptr, 0, format, argument.c_str());
  std::string whole(static_cast<size_t>(length) + 1, '\0');
  snprintf(&whole[0], whole.size(), format, argument.c_str());
  whole.resize(static_cast<size_t>(length));
  // Where it is cut: at the last whole character within 2047 bytes.
  std::string expected = whole;
  if (whole.size() > static_cast<size_t>(kMessageBufferSize - 1)) {
    expected = model::WholePrefix(whole, kMessageBufferSize - 1, code);
  }

  const char caption[] = "Caption %s %d";
  int answer = ShowMessage(caption, kBoxOk | kBoxIconInformation, format, argument.c_str());
  if (answer != kAnswerRetry) FuzzFail("the answer is the box's own, unchanged", input);
  if (Fake().boxes.size() != 1) FuzzFail("one box is shown", input);
  const Box& box = Fake().boxes[0];
  if (box.caption != caption) FuzzFail("the caption is passed through", input);
  if (box.style != (kBoxOk | kBoxIconInformation)) FuzzFail("the style is passed through", input);
  if (box.text.size() > static_cast<size_t>(kMessageBufferSize - 1)) {
    FuzzFail("the text fits in 2047 bytes", input);
  }
  if (box.text != expected) {
    FuzzFail("a text of 2047 bytes or fewer is whole; a longer one cut at a whole character",
             input);
  }

  // Every character as itself but line breaks and tabs, and in UTF-8 the
  // line and paragraph separators, and the cut before the first character
  // that would not fit.
  std::string shown;
  for (size_t at = 0; at < argument.size();) {
    size_t length = model::CharacterLength(argument, at, code);
    std::string piece = argument[at] == '\n'   ? "\\x0a"
                        : argument[at] == '\t' ? "\\x09"
                                                : argument.substr(at, length);
    if (piece == "\xe2\x80\xa8") piece = "\\xe2\\x80\\xa8";
    if (piece == "\xe2\x80\xa9") piece = "\\xe2\\x80\\xa9";
    if (shown.size() + piece.size() > static_cast<size_t>(kMessageBufferSize - 1)) break;
    shown += piece;
    at += length;
  }
  char out[kMessageBufferSize];
  ShownName(argument.c_str(), out, sizeof out);
  if (shown != out) FuzzFail("a name is shown with its line breaks and tabs escaped, cut whole", input);
  return 0;
}
