#include "fuzz/model.h"

#include <cstdio>
#include <cstdlib>

namespace model {

bool IsLead(char byte, bool cp932) {
  unsigned char b = static_cast<unsigned char>(byte);
  return cp932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

size_t CharacterLength(const std::string& text, size_t at, bool cp932) {
  return IsLead(text[at], cp932) && at + 1 < text.size() ? 2 : 1;
}

std::string WholePrefix(const std::string& text, size_t limit, bool cp932) {
  if (text.size() <= limit) return text;
  size_t at = 0;
  while (at + CharacterLength(text, at, cp932) <= limit) at += CharacterLength(text, at, cp932);
  return text.substr(0, at);
}

Parts Split(const std::string& path, bool cp932) {
  Parts parts;
  size_t begin = 0;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    begin = 2;
  }
  size_t nameStart = begin, lastDot = std::string::npos;
  for (size_t at = begin; at < path.size(); at += CharacterLength(path, at, cp932)) {
    if (CharacterLength(path, at, cp932) == 2) continue;
    if (path[at] == '/' || path[at] == '\\') nameStart = at + 1;
    else if (path[at] == '.') lastDot = at;
  }
  parts.directory = WholePrefix(path.substr(begin, nameStart - begin), 255, cp932);
  if (lastDot != std::string::npos && lastDot >= nameStart) {
    parts.name = WholePrefix(path.substr(nameStart, lastDot - nameStart), 255, cp932);
    parts.extension = WholePrefix(path.substr(lastDot), 255, cp932);
  } else {
    parts.name = WholePrefix(path.substr(nameStart), 255, cp932);
  }
  return parts;
}

std::string Decode(std::string text) {
  for (size_t at; (at = text.find("%20")) != std::string::npos;) text.replace(at, 3, " ");
  return text;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string Strip(const std::string& name) {
  size_t dash = name.rfind('-');
  if (dash != std::string::npos && AllDigits(name.substr(dash + 1))) return name.substr(0, dash);
  if (name.empty() || name.back() != ']') return name;
  size_t open = name.rfind('[');
  if (open == std::string::npos) return name;
  size_t close = name.find(']', open);
  return AllDigits(name.substr(open + 1, close - open - 1)) ? name.substr(0, open) : name;
}

std::string SourceOf(const std::string& tail) {
  size_t first = tail.find('"');
  if (first == std::string::npos) return tail;
  size_t second = tail.find('"', first + 1);
  if (second == std::string::npos) return tail;
  return tail.substr(first + 1, second - first - 1);
}

}  // namespace model

void FuzzFail(const char* property, const std::string& input) {
  fprintf(stderr, "\nProperty violated: %s\nInput (%zu bytes):", property, input.size());
  for (unsigned char c : input) fprintf(stderr, " %02x", c);
  fprintf(stderr, "\n");
  abort();
}
