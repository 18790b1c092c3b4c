// The lead-byte table, read once at start.
#include "text/codepage.h"

#include <cstring>

#include "platform/platform.h"

namespace {

bool g_leadBytes[256];

}  // namespace

void LoadLeadBytes() {
  unsigned char ranges[12] = {};
  PlatformGetLeadByteRanges(ranges);
  memset(g_leadBytes, 0, sizeof g_leadBytes);
  for (int pair = 0; pair < 6 && ranges[2 * pair] != 0; ++pair) {
    for (unsigned b = ranges[2 * pair]; b <= ranges[2 * pair + 1]; ++b) g_leadBytes[b] = true;
  }
}

bool IsLeadByte(unsigned char byte) { return g_leadBytes[byte]; }

size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t at = 0;
  while (at < limit) {
    size_t step = (IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < length) ? 2 : 1;
    if (at + step > limit) break;
    at += step;
  }
  return at;
}
