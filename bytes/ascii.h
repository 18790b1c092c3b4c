// The ASCII letter case fold, for the name comparisons above and the
// terminal box's answers alike. No system header: plain bytes.
#ifndef LEVELSET_PLATFORM_ASCII_H
#define LEVELSET_PLATFORM_ASCII_H

// c with A to Z folded onto a to z; every other byte as it is.
inline unsigned char FoldAsciiCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

#endif
