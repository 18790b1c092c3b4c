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
    // Only UTF-8 has characters of three bytes: U+2028 and U+2029, the
    // line and paragraph separators, break a line as a line feed does.
    bool lineBreak = *p == '\n' || *p == '\t' ||
                     (length == 3 && memcmp(p, "\xe2\x80", 2) == 0 &&
                      (p[2] == '\xa8' || p[2] == '\xa9'));
    char piece[3 * 4 + 1];
    size_t pieceLength = length;
    if (lineBreak) {
      for (size_t i = 0; i < length; ++i) {
        snprintf(piece + 4 * i, 5, "\\x%02x", static_cast<unsigned char>(p[i]));
      }
      pieceLength = 4 * length;
    }
    if (used + pieceLength >= size) break;
    memcpy(out + used, lineBreak ? piece : p, pieceLength);
    used += pieceLength;
    p += length;
  }
  if (size > 0) out[used] = '\0';
}
