#include "fuzz/model.h"

#include <cstdio>
#include <cstdlib>

#include "tests/fake_platform.h"

namespace model {

CodePage PickCodePage(uint8_t switches, uint8_t utf8Bit) {
  if (switches & 1) return CodePage::k932;
  return (switches & utf8Bit) ? CodePage::kUtf8 : CodePage::kSingleByte;
}

bool IsLead(char byte, CodePage code) {
  unsigned char b = static_cast<unsigned char>(byte);
  return code == CodePage::k932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

size_t ScanStep(const std::string& text, size_t at, CodePage code) {
  return IsLead(text[at], code) && at + 1 < text.size() ? 2 : 1;
}

size_t CharacterLength(const std::string& text, size_t at, CodePage code) {
  if (code != CodePage::kUtf8) return ScanStep(text, at, code);
  // The well-formed byte sequences of Unicode's table 3-7: first byte, the
  // range of the second, and the length; every later byte is 0x80-0xBF.
  struct Form {
    unsigned char firstLow, firstHigh, secondLow, secondHigh;
    size_t length;
  };
  const Form forms[] = {{0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
                        {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3},
                        {0xEE, 0xEF, 0x80, 0xBF, 3}, {0xF0, 0xF0, 0x90, 0xBF, 4},
                        {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4}};
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  for (const Form& form : forms) {
    if (byte(at) < form.firstLow || byte(at) > form.firstHigh) continue;
    if (at + form.length > text.size()) return 1;
    if (byte(at + 1) < form.secondLow || byte(at + 1) > form.secondHigh) return 1;
    for (size_t i = at + 2; i < at + form.length; ++i) {
      if (byte(i) < 0x80 || byte(i) > 0xBF) return 1;
    }
    return form.length;
  }
  return 1;
}

std::string WholePrefix(const std::string& text, size_t limit, CodePage code) {
  if (text.size() <= limit) return text;
  size_t at = 0;
  while (at + CharacterLength(text, at, code) <= limit) at += CharacterLength(text, at, code);
  return text.substr(0, at);
}

Parts Split(const std::string& path, CodePage code) {
  Parts parts;
  size_t begin = 0;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    begin = 2;
  }
  size_t nameStart = begin, lastDot = std::string::npos;
  for (size_t at = begin; at < path.size(); at += ScanStep(path, at, code)) {
    if (ScanStep(path, at, code) == 2) continue;
    if (path[at] == '/' || path[at] == '\\') nameStart = at + 1;
    else if (path[at] == '.') lastDot = at;
  }
  parts.directory = WholePrefix(path.substr(begin, nameStart - begin), 255, code);
  if (lastDot != std::string::npos && lastDot >= nameStart) {
    parts.name = WholePrefix(path.substr(nameStart, lastDot - nameStart), 255, code);
    parts.extension = WholePrefix(path.substr(lastDot), 255, code);
  } else {
    parts.name = WholePrefix(path.substr(nameStart), 255, code);
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

void UseCodePage(model::CodePage code) {
  if (code == model::CodePage::k932) UseCodePage932();
  if (code == model::CodePage::kUtf8) UseUtf8();
}
