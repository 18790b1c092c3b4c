// Every word the installer says goes through here.
#include "text/message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "text/codepage.h"

int ShowMessage(const char* caption, uint32_t style, const char* format, ...) {
  char text[kMessageBufferSize];
  text[0] = '\0';
  va_list arguments;
  va_start(arguments, format);
  int length = vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  // A C99 vsnprintf gives the length of the whole text when it cuts it;
  // older C runtimes (Windows' msvcrt) give -1 and leave it unterminated.
  // Either will do here.
  text[kMessageBufferSize - 1] = '\0';
  if (length < 0 || length >= kMessageBufferSize) {
    // The text went on past the buffer: it must not end in half a
    // double-byte character.
    size_t kept = strlen(text);
    text[WholeCharacterPrefix(text, kept + 1, kept)] = '\0';
  }
  return PlatformMessageBox(text, caption, style);
}
