// The code page, read once at start, and the one character step that every
// walk over a text takes.
#include "text/codepage.h"

#include <cstring>

#include "platform/platform.h"

namespace {

bool g_leadBytes[256];
bool g_utf8 = false;

bool IsContinuation(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// A well-formed UTF-8 character: no overlong form, no surrogate, nothing
// past U+10FFFF.
size_t Utf8Length(const unsigned char* text, size_t left) {
  unsigned char lead = text[0];
  size_t length = 1;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 1 || left < length || !IsContinuation(text[1], low, high)) return 1;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(text[i], 0x80, 0xBF)) return 1;
  }
  return length;
}

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

bool IsLeadByte(unsigned char byte) { return g_leadBytes[byte]; }

size_t CharacterLength(const char* text, size_t left) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  if (g_utf8) return Utf8Length(bytes, left);
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
