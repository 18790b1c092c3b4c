// The name of the file a copy is written to before it is renamed over the
// installed copy, for both backends: ".levelset-<16 hex digits>.tmp", never
// ".qlm", so the game never reads one. No system header: plain bytes.
#ifndef LEVELSET_BYTES_TEMPORARY_NAME_H
#define LEVELSET_BYTES_TEMPORARY_NAME_H

#include <cstddef>
#include <cstdint>

constexpr char kTemporaryPrefix[] = ".levelset-";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr size_t kTemporaryNameLength = sizeof kTemporaryPrefix - 1 + 16 + sizeof kTemporarySuffix - 1;

// The most entries that one install reads of the folder it copies into,
// looking for what killed copies left there: a Levels holds far fewer, so
// each leftover is cleared by the next install as before, but a folder
// that others filled with names by the hundred thousand cannot make every
// install slow. Past the limit, leftovers stay until an install reaches
// them (the game never reads them).
constexpr unsigned kLeftoverEntriesRead = 4096;

// Writes the temporary name made of the 64 bits of random, in lower-case
// hexadecimal, into name (kTemporaryNameLength + 1 bytes).
inline void MakeTemporaryName(uint64_t random, char* name) {
  size_t at = 0;
  for (const char* p = kTemporaryPrefix; *p != '\0'; ++p) name[at++] = *p;
  for (int shift = 60; shift >= 0; shift -= 4) name[at++] = "0123456789abcdef"[(random >> shift) & 0xF];
  for (const char* p = kTemporarySuffix; *p != '\0'; ++p) name[at++] = *p;
  name[at] = '\0';
}

// Whether name has the shape of a temporary name (any 16 characters between
// prefix and suffix, as a search by pattern finds them).
inline bool IsTemporaryName(const char* name) {
  size_t length = 0;
  while (name[length] != '\0') ++length;
  if (length != kTemporaryNameLength) return false;
  for (size_t i = 0; i < sizeof kTemporaryPrefix - 1; ++i) {
    if (name[i] != kTemporaryPrefix[i]) return false;
  }
  const char* suffix = name + length - (sizeof kTemporarySuffix - 1);
  for (size_t i = 0; i < sizeof kTemporarySuffix - 1; ++i) {
    if (suffix[i] != kTemporarySuffix[i]) return false;
  }
  return true;
}

#endif
