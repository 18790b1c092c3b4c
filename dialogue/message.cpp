// Every word the installer says goes through here.
#include "dialogue/message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "levelset/levelset.h"
#include "platform/platform.h"

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
    // The text went on past the buffer: it must not end in half a
    // double-byte character.
    size_t kept = strlen(text);
    text[WholeCharacterPrefix(text, kept + 1, kept)] = '\0';
  }
  return PlatformMessageBox(text, caption, style);
}
