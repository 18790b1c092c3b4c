// The shape of a UTF-8 character, for the terminal box below and the text
// helpers above alike. No system header: plain bytes.
#ifndef LEVELSET_BYTES_UTF8_H
#define LEVELSET_BYTES_UTF8_H

#include <cstddef>

// Length of the well-formed UTF-8 character at text (no overlong form, no
// surrogate, nothing past U+10FFFF), reading at most left bytes; 0 when
// none begins there.
inline size_t Utf8CharacterLength(const unsigned char* text, size_t left) {
  if (left == 0) return 0;
  unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;
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
  } else {
    return 0;
  }
  if (left < length || text[1] < low || text[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (text[i] < 0x80 || text[i] > 0xBF) return 0;
  }
  return length;
}

#endif
