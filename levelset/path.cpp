// Path splitting and the cleaning of file names: pure byte work.
#include "levelset/levelset.h"

#include <cstdint>
#include <cstring>

#include "bytes/ascii.h"
#include "text/codepage.h"

namespace {

void CopyPart(char* out, const char* begin, size_t length) {
  if (!out) return;
  length = WholeCharacterPrefix(begin, length, kPartSize - 1);
  memcpy(out, begin, length);
  out[length] = '\0';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void SplitPath(const char* path, char* drive, char* directory, char* fileName, char* extension) {
  const char* rest = path;
  if (path[0] != '\0' && path[1] == ':') {
    if (drive) {
      drive[0] = path[0];
      drive[1] = ':';
      drive[2] = '\0';
    }
    rest = path + 2;
  } else if (drive) {
    drive[0] = '\0';
  }

  // One scan: where the file-name part begins and where the last dot is. A
  // character of several bytes is one unit; a lone lead byte at the end is
  // kept as a character of its own.
  const char* nameStart = rest;
  const char* lastDot = nullptr;
  const char* p = rest;
  for (; *p != '\0'; p += CharacterLength(p, SIZE_MAX)) {
    if (*p == '/' || *p == '\\') nameStart = p + 1;
    else if (*p == '.') lastDot = p;
  }
  const char* end = p;

  CopyPart(directory, rest, static_cast<size_t>(nameStart - rest));
  if (lastDot && lastDot >= nameStart) {
    CopyPart(fileName, nameStart, static_cast<size_t>(lastDot - nameStart));
    CopyPart(extension, lastDot, static_cast<size_t>(end - lastDot));
  } else {
    CopyPart(fileName, nameStart, static_cast<size_t>(end - nameStart));
    if (extension) extension[0] = '\0';
  }
}

void DecodeSpaces(char* text) {
  char* out = text;
  for (const char* in = text; *in != '\0';) {
    if (in[0] == '%' && in[1] == '2' && in[2] == '0') {
      *out++ = ' ';
      in += 3;
    } else {
      *out++ = *in++;
    }
  }
  *out = '\0';
}

void StripCopySuffix(char* text) {
  if (char* dash = strrchr(text, '-')) {
    const char* digit = dash + 1;
    while (IsDigit(*digit)) ++digit;
    if (digit > dash + 1 && *digit == '\0') {
      *dash = '\0';
      return;
    }
  }
  size_t length = strlen(text);
  if (length == 0 || text[length - 1] != ']') return;
  if (char* open = strrchr(text, '[')) {
    const char* digit = open + 1;
    while (IsDigit(*digit)) ++digit;
    if (digit > open + 1 && *digit == ']') *open = '\0';
  }
}

void GetDisplayName(const char* path, char* out) {
  SplitPath(path, nullptr, nullptr, out, nullptr);
  DecodeSpaces(out);
  StripCopySuffix(out);
}

bool EqualsIgnoreCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (x != y && FoldAsciiCase(x) != FoldAsciiCase(y)) return false;
    if (x == '\0') return true;
  }
}

bool IsLevelSetFile(const char* path) {
  char extension[kPartSize];
  SplitPath(path, nullptr, nullptr, nullptr, extension);
  return EqualsIgnoreCase(extension, ".QLM");
}
