// Every word the installer says goes through here.
#include "dialogue/message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "levelset/levelset.h"
#include "platform/platform.h"

namespace {

// A text cut at the end of the buffer must not end in half a double-byte
// character: a lead byte whose partner was cut away goes too.
void CutAtWholeCharacter(char* text, int limit) {
  int at = 0;
  while (at < limit) {
    if (!IsLeadByte(static_cast<unsigned char>(text[at]))) ++at;
    else if (at + 1 < limit) at += 2;
    else break;
  }
  text[at] = '\0';
}

}  // namespace

int ShowMessage(const char* caption, uint32_t style, const char* format, ...) {
  char text[kMessageBufferSize];
  text[0] = '\0';
  va_list arguments;
  va_start(arguments, format);
  int length = vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  // Some C runtimes report a cut text as -1 and leave it unterminated.
  text[kMessageBufferSize - 1] = '\0';
  if (length < 0 || length >= kMessageBufferSize) {
    CutAtWholeCharacter(text, static_cast<int>(strlen(text)));
  }
  return PlatformMessageBox(text, caption, style);
}
