// Every word the installer says goes through here.
#include "text/message.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "text/codepage.h"

int ShowMessage(const char* caption, uint32_t style, const char* format, ...) {
  // Room for the bytes of a character that the cut at 2047 bytes would
  // halve, so that the cut can see it whole and leave it out.
  char text[kMessageBufferSize + kLongestCharacter - 1];
  text[0] = '\0';
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  // A C99 vsnprintf terminates a text it cuts; older C runtimes (Windows'
  // msvcrt) give -1 and leave it unterminated. Either will do here.
  text[sizeof text - 1] = '\0';
  const size_t limit = kMessageBufferSize - 1;
  size_t length = strlen(text);
  if (length > limit) text[WholeCharacterPrefix(text, length, limit)] = '\0';
  return PlatformMessageBox(text, caption, style);
}

void ShownName(const char* name, char* out, size_t size) {
  size_t used = 0;
  for (const char* p = name; *p != '\0';) {
    size_t length = CharacterLength(p, SIZE_MAX);
    const char* piece = *p == '\n' ? "\\x0a" : *p == '\t' ? "\\x09" : nullptr;
    size_t pieceLength = piece ? 4 : length;
    if (used + pieceLength >= size) break;
    memcpy(out + used, piece ? piece : p, pieceLength);
    used += pieceLength;
    p += length;
  }
  if (size > 0) out[used] = '\0';
}
