// The command line as the process gets it: GetCommandLineTail, then
// StripQuotes on the tail, as the entry and RunInstaller take it apart.
// The first byte picks the code page (odd: 932; else bit 1: UTF-8) and is
// not part of the line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dialogue/installer.h"
#include "fuzz/model.h"
#include "tests/fake_platform.h"

namespace {

bool Inside(const char* p, const char* begin, size_t length) {
  return p >= begin && p <= begin + length;
}

// Where the program's name ends, worked out the plain way: a quoted name
// runs to the closing quote (double-byte characters skipped whole), any
// other name to the first byte of 0x20 or below.
size_t NameEnd(const std::string& line, model::CodePage code) {
  size_t at = 0;
  if (!line.empty() && line[0] == '"') {
    at = 1;
    while (at < line.size() && line[at] != '"') at += model::ScanStep(line, at, code);
    return at < line.size() ? at + 1 : at;  // the closing quote goes with the name
  }
  while (at < line.size() && static_cast<unsigned char>(line[at]) > 0x20) ++at;
  return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  model::CodePage code = model::PickCodePage(data[0], 2);
  // The command line is a C string: it ends at the first zero byte.
  std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
  line = std::string(line.c_str());
  ResetFake();
  UseCodePage(code);

  size_t length = line.size();
  char* buffer = static_cast<char*>(malloc(length + 1));
  memcpy(buffer, line.c_str(), length + 1);

  char* tail = GetCommandLineTail(buffer);
  if (!Inside(tail, buffer, length)) FuzzFail("the tail lies inside the command line", line);
  unsigned char first = static_cast<unsigned char>(*tail);
  if (first >= 0x01 && first <= 0x20) FuzzFail("the tail starts with no byte 0x01-0x20", line);
  if (memcmp(buffer, line.c_str(), length + 1) != 0) FuzzFail("the tail leaves the line alone", line);
  // Between the name and the tail lie only bytes 0x01 to 0x20.
  size_t nameEnd = NameEnd(line, code);
  size_t tailAt = static_cast<size_t>(tail - buffer);
  if (tailAt < nameEnd) FuzzFail("the tail begins after the program's name", line);
  for (size_t i = nameEnd; i < tailAt; ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x01 || c > 0x20) FuzzFail("only blanks are skipped after the name", line);
  }

  // StripQuotes on the tail, and on the whole line.
  for (int round = 0; round < 2; ++round) {
    char* text = round == 0 ? tail : buffer;
    if (round == 1) memcpy(buffer, line.c_str(), length + 1);
    std::string before = text;
    char* source = StripQuotes(text);
    if (!Inside(source, text, before.size())) FuzzFail("the source path lies inside the tail", line);
    if (model::SourceOf(before) != source) {
      FuzzFail("the path is the text between the first two quotes, or the whole text", line);
    }
    size_t firstQuote = before.find('"');
    bool quoted = firstQuote != std::string::npos && before.find('"', firstQuote + 1) != std::string::npos;
    if (source != (quoted ? text + firstQuote + 1 : text)) FuzzFail("the path is taken in place", line);
  }
  free(buffer);
  return 0;
}
