// The code page, read once at start, and the one character step that every
// walk over a text takes.
#include "text/codepage.h"

#include <cstring>

#include "platform/platform.h"
#include "bytes/utf8.h"

namespace {

bool g_leadBytes[256];
bool g_utf8 = false;

bool IsLeadByte(unsigned char byte) { return g_leadBytes[byte]; }

}  // namespace

void LoadLeadBytes() {
  unsigned char ranges[12] = {};
  PlatformGetLeadByteRanges(ranges);
  memset(g_leadBytes, 0, sizeof g_leadBytes);
  for (int pair = 0; pair < 6 && ranges[2 * pair] != 0; ++pair) {
    for (unsigned b = ranges[2 * pair]; b <= ranges[2 * pair + 1]; ++b) g_leadBytes[b] = true;
  }
  g_utf8 = PlatformTextIsUtf8();
}

size_t CharacterLength(const char* text, size_t left) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  if (g_utf8) {
    // A byte that begins no whole character counts alone.
    size_t length = Utf8CharacterLength(bytes, left);
    return length == 0 ? 1 : length;
  }
  return IsLeadByte(bytes[0]) && left >= 2 && bytes[1] != '\0' ? 2 : 1;
}

size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t at = 0;
  for (;;) {
    size_t step = CharacterLength(text + at, length - at);
    if (at + step > limit) return at;
    at += step;
  }
}
