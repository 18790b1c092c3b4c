// The message texts: every template of the installer with an argument of
// any length, in a single-byte code page and in code page 932.
//
// Input: one byte of switches (1: code page 932; the next bits pick the
// template and how many times the rest is repeated), then the argument.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dialogue/message.h"
#include "fuzz/fuzz_platform.h"
#include "platform/platform.h"

namespace {

const char* const kTemplates[] = {
    ("The named file: \"%s\" could not be found, so it could not be installed as a Quillomar "
     "level set"),
    "The named file: \"%s\" is not a Quillomar level set",
    "Would you like to install the level set \"%s\" into your Quillomar game?",
    "The level set \"%s\" is already installed.\n\nYou can play it by running Quillomar.",
    "The level set \"%s\" has been installed.\n\nYou can play it by running Quillomar.",
    "%s",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool cp932 = data[0] & 1;
  const char* format = kTemplates[(data[0] >> 1) % (sizeof kTemplates / sizeof *kTemplates)];
  int repeat = 1 + (data[0] >> 5);  // 1 to 8
  std::string piece(reinterpret_cast<const char*>(data + 1), size - 1);
  piece = std::string(piece.c_str());
  std::string argument;
  for (int i = 0; i < repeat; ++i) argument += piece;
  std::string input(reinterpret_cast<const char*>(data), size);
  FuzzPlatform& platform = FuzzReset(cp932);
  platform.answers = std::string(1, static_cast<char>(kAnswerRetry));

  // The whole text, formatted without a bound.
  int length = snprintf(nullptr, 0, format, argument.c_str());
  std::string whole(static_cast<size_t>(length) + 1, '\0');
  snprintf(&whole[0], whole.size(), format, argument.c_str());
  whole.resize(static_cast<size_t>(length));
  // Where it is cut: at the last whole character within 2047 bytes.
  std::string expected = whole;
  if (whole.size() > static_cast<size_t>(kMessageBufferSize - 1)) {
    size_t at = 0;
    for (;;) {
      bool pair = cp932 && IsCodePage932Lead(static_cast<unsigned char>(whole[at]));
      size_t step = pair ? 2 : 1;
      if (at + step > static_cast<size_t>(kMessageBufferSize - 1)) break;
      at += step;
    }
    expected = whole.substr(0, at);
  }

  const char caption[] = "Caption %s %d";
  int answer = ShowMessage(caption, kBoxOk | kBoxIconInformation, format, argument.c_str());
  if (answer != kAnswerRetry) FuzzFail("the answer is the box's own, unchanged", input);
  if (platform.boxes != 1) FuzzFail("one box is shown", input);
  if (platform.lastBoxCaption != caption) FuzzFail("the caption is passed through", input);
  if (platform.lastBoxStyle != (kBoxOk | kBoxIconInformation)) FuzzFail("the style is passed through", input);
  if (platform.lastBoxText.size() > static_cast<size_t>(kMessageBufferSize - 1)) {
    FuzzFail("the text fits in 2047 bytes", input);
  }
  if (platform.lastBoxText != expected) {
    FuzzFail("a text of 2047 bytes or fewer is whole; a longer one cut at a whole character",
             input);
  }
  return 0;
}
