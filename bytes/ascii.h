// The ASCII letter case fold, for the name comparisons above and the
// terminal box's answers alike, and the level set's own name as the
// backends judge the file a source leads to. No system header: plain bytes.
#ifndef LEVELSET_BYTES_ASCII_H
#define LEVELSET_BYTES_ASCII_H

// c with A to Z folded onto a to z; every other byte as it is.
inline unsigned char FoldAsciiCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Whether the file name (no directory in it) ends in ".qlm", in any ASCII
// letter case; in bytes or in UTF-16.
template <typename Char>
inline bool NamedAsLevelSet(const Char* name) {
  const Char* end = name;
  while (*end != 0) ++end;
  if (end - name < 4 || end[-4] != '.') return false;
  for (int i = 0; i < 3; ++i) {
    unsigned c = static_cast<unsigned>(end[i - 3]);
    if (c >= 0x80 || FoldAsciiCase(static_cast<unsigned char>(c)) != "qlm"[i]) return false;
  }
  return true;
}

#endif
