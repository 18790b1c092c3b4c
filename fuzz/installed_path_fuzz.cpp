// The installed path of any source under any program directory: the program
// file's path comes through the platform's module file name.
//
// Input: one byte of switches (1: code page 932, 2: "/" as separator, 4: the
// program file's path cannot be had), the program file's path, a zero byte,
// and the source path. Without a zero byte the whole rest is the source and
// the program lies in C:\Games\Quillomar\.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_platform.h"
#include "levelset/levelset.h"
#include "platform/platform.h"

namespace {

bool g_cp932 = false;

bool Lead(char c) { return g_cp932 && IsCodePage932Lead(static_cast<unsigned char>(c)); }
bool Separator(char c) { return c == '/' || c == '\\'; }

// Longest prefix of at most limit bytes that ends at a whole character.
std::string WholePrefix(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t at = 0;
  while (at < limit) {
    size_t step = Lead(text[at]) && at + 1 < text.size() ? 2 : 1;
    if (at + step > limit) break;
    at += step;
  }
  return text.substr(0, at);
}

struct Split {
  std::string drive, directory, name, extension;
};

Split SplitByHand(const std::string& path) {
  Split split;
  size_t begin = 0;
  if (path.size() >= 2 && path[1] == ':') {
    split.drive = path.substr(0, 2);
    begin = 2;
  }
  size_t nameStart = begin, lastDot = std::string::npos;
  for (size_t at = begin; at < path.size();) {
    if (Lead(path[at]) && at + 1 < path.size()) {
      at += 2;
      continue;
    }
    if (Separator(path[at])) nameStart = at + 1;
    else if (path[at] == '.') lastDot = at;
    ++at;
  }
  split.directory = WholePrefix(path.substr(begin, nameStart - begin), 255);
  if (lastDot != std::string::npos && lastDot >= nameStart) {
    split.name = WholePrefix(path.substr(nameStart, lastDot - nameStart), 255);
    split.extension = WholePrefix(path.substr(lastDot), 255);
  } else {
    split.name = WholePrefix(path.substr(nameStart), 255);
  }
  return split;
}

bool Digits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string StripByHand(const std::string& name) {
  size_t dash = name.rfind('-');
  if (dash != std::string::npos && Digits(name.substr(dash + 1))) return name.substr(0, dash);
  if (name.empty() || name.back() != ']') return name;
  size_t open = name.rfind('[');
  if (open == std::string::npos) return name;
  size_t close = name.find(']', open);
  return Digits(name.substr(open + 1, close - open - 1)) ? name.substr(0, open) : name;
}

std::string DecodeByHand(std::string text) {
  for (size_t at; (at = text.find("%20")) != std::string::npos;) text.replace(at, 3, " ");
  return text;
}

bool LastCharacterIsSeparator(const std::string& text) {
  size_t last = std::string::npos;
  for (size_t at = 0; at < text.size();) {
    last = at;
    at += Lead(text[at]) && at + 1 < text.size() ? 2 : 1;
  }
  return last == text.size() - 1 && Separator(text[last]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  uint8_t switches = data[0];
  g_cp932 = switches & 1;
  FuzzPlatform& platform = FuzzReset(g_cp932);
  platform.separator = (switches & 2) ? '/' : '\\';
  platform.moduleFileNameFails = switches & 4;
  std::string rest = input.substr(1);
  std::string source;
  size_t zero = rest.find('\0');
  if (zero == std::string::npos) {
    source = rest;
  } else {
    platform.moduleFileName = rest.substr(0, zero);
    source = std::string(rest.c_str() + zero + 1);
  }
  const std::string& module = platform.moduleFileName;

  // The program directory, composed by hand.
  bool refused = false;
  std::string programDirectory;
  if (!platform.moduleFileNameFails && !module.empty()) {
    if (module.size() >= kPathBufferSize) {
      refused = true;  // the program file's path was cut
    } else {
      Split split = SplitByHand(module);
      programDirectory = split.drive + split.directory;
      if (!split.directory.empty() && !LastCharacterIsSeparator(split.directory)) {
        programDirectory += platform.separator;
      }
    }
  }
  Split split = SplitByHand(source);
  std::string expected = programDirectory + "Levels" + platform.separator +
                         DecodeByHand(StripByHand(split.name)) + split.extension;
  std::string levels = programDirectory + "Levels";
  bool builds = !refused && expected.size() <= kPathBufferSize - 1;
  bool levelsBuilds = !refused && levels.size() <= kPathBufferSize - 1;

  char* sourceCopy = static_cast<char*>(malloc(source.size() + 1));
  memcpy(sourceCopy, source.c_str(), source.size() + 1);
  char* out = static_cast<char*>(malloc(kPathBufferSize));
  memset(out, 'x', kPathBufferSize);
  bool built = GetInstalledPath(sourceCopy, out);
  if (memchr(out, '\0', kPathBufferSize) == nullptr) FuzzFail("the installed path is terminated", input);
  if (source != sourceCopy) FuzzFail("the source is left alone", input);
  if (built != builds) FuzzFail("a path of 259 characters or fewer is built, a longer one not", input);
  if (built ? expected != out : out[0] != '\0') FuzzFail("the installed path is built exactly", input);

  memset(out, 'x', kPathBufferSize);
  bool levelsBuilt = GetLevelsDirectory(out);
  if (memchr(out, '\0', kPathBufferSize) == nullptr) FuzzFail("the Levels path is terminated", input);
  if (levelsBuilt != levelsBuilds) FuzzFail("the Levels directory is built when it fits", input);
  if (levelsBuilt ? levels != out : out[0] != '\0') FuzzFail("the Levels directory is built exactly", input);

  if (!refused && programDirectory != GetProgramDirectory()) FuzzFail("the program directory", input);
  bool installed = IsAlreadyInstalled(sourceCopy);
  if (installed != (builds && EqualsIgnoreCase(expected.c_str(), source.c_str()))) {
    FuzzFail("installed means the source is its own installed path", input);
  }
  free(out);
  free(sourceCopy);
  return 0;
}
