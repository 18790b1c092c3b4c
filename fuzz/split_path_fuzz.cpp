// SplitPath on any path, in a single-byte code page and in code page 932.
// The first byte picks the code page (odd: 932) and is not part of the path.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_platform.h"
#include "levelset/levelset.h"

namespace {

// Heap copies of exactly the documented sizes, so that a byte written past
// one is caught.
struct Parts {
  char* drive = static_cast<char*>(malloc(kDriveSize));
  char* directory = static_cast<char*>(malloc(kPartSize));
  char* fileName = static_cast<char*>(malloc(kPartSize));
  char* extension = static_cast<char*>(malloc(kPartSize));
  ~Parts() {
    free(drive);
    free(directory);
    free(fileName);
    free(extension);
  }
};

// Where each character of text starts: a lead byte and the byte after it
// are one character; a lead byte at the very end stands alone.
std::vector<bool> CharacterStarts(const std::string& text, bool codePage932) {
  std::vector<bool> starts(text.size() + 1, false);
  size_t at = 0;
  while (at < text.size()) {
    starts[at] = true;
    bool pair = codePage932 && IsCodePage932Lead(static_cast<unsigned char>(text[at])) &&
                at + 1 < text.size();
    at += pair ? 2 : 1;
  }
  starts[text.size()] = true;
  return starts;
}

// Whether part, taken on its own, ends in a lead byte whose partner is not
// in it.
bool EndsInHalfCharacter(const std::string& part, bool codePage932) {
  size_t at = 0;
  size_t last = std::string::npos;
  while (at < part.size()) {
    last = at;
    bool pair = codePage932 && IsCodePage932Lead(static_cast<unsigned char>(part[at])) &&
                at + 1 < part.size();
    at += pair ? 2 : 1;
  }
  return last != std::string::npos && last == part.size() - 1 && codePage932 &&
         IsCodePage932Lead(static_cast<unsigned char>(part[last]));
}

// The single-byte separators and dots of text, by character.
bool HasUnit(const std::string& text, bool codePage932, bool (*is)(char)) {
  std::vector<bool> starts = CharacterStarts(text, codePage932);
  for (size_t i = 0; i < text.size(); ++i) {
    if (!starts[i]) continue;
    bool pair = codePage932 && IsCodePage932Lead(static_cast<unsigned char>(text[i])) &&
                i + 1 < text.size();
    if (!pair && is(text[i])) return true;
  }
  return false;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }
bool IsDot(char c) { return c == '.'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool codePage932 = data[0] & 1;
  std::string path(reinterpret_cast<const char*>(data + 1), size - 1);
  path = std::string(path.c_str());
  FuzzReset(codePage932);

  char* input = static_cast<char*>(malloc(path.size() + 1));
  memcpy(input, path.c_str(), path.size() + 1);
  Parts parts;
  SplitPath(input, parts.drive, parts.directory, parts.fileName, parts.extension);
  if (path != input) FuzzFail("the path is left alone", path);

  std::string drive = parts.drive, directory = parts.directory, fileName = parts.fileName,
              extension = parts.extension;
  // The drive: the first two bytes when the second is ":".
  bool hasDrive = path.size() >= 2 && path[1] == ':';
  if (drive != (hasDrive ? path.substr(0, 2) : std::string())) FuzzFail("the drive", path);
  std::string rest = path.substr(drive.size());

  for (const std::string* part : {&directory, &fileName, &extension}) {
    if (part->size() > kPartSize - 1) FuzzFail("each part is at most 255 bytes", path);
    if (EndsInHalfCharacter(*part, codePage932) && rest.size() > 0 &&
        !(part->size() <= rest.size() &&
          rest.compare(rest.size() - part->size(), part->size(), *part) == 0)) {
      // Only a lone lead byte at the very end of the path may end a part.
      FuzzFail("no part ends in half a double-byte character", path);
    }
  }

  // A part of 253 bytes or fewer was never cut (a cut leaves 254 or 255).
  bool nothingCut = directory.size() < kPartSize - 2 && fileName.size() < kPartSize - 2 &&
                    extension.size() < kPartSize - 2;
  if (rest.size() <= kPartSize - 1) {
    // Nothing so short can have been cut.
    nothingCut = true;
  }
  if (nothingCut) {
    if (drive + directory + fileName + extension != path) {
      FuzzFail("the parts give the path back", path);
    }
    // The parts begin and end at whole characters of the path.
    std::vector<bool> starts = CharacterStarts(rest, codePage932);
    if (!starts[directory.size()] || !starts[directory.size() + fileName.size()]) {
      FuzzFail("no double-byte character is split between parts", path);
    }
    // The directory ends in its last separator; the file-name part has none;
    // the extension is empty or begins at the last dot.
    if (!directory.empty() && !IsSeparator(directory.back())) {
      FuzzFail("the directory ends in a separator", path);
    }
    if (HasUnit(fileName + extension, codePage932, IsSeparator)) {
      FuzzFail("the file name and extension hold no separator", path);
    }
    if (!extension.empty() && extension[0] != '.') FuzzFail("the extension starts with a dot", path);
    if (HasUnit(extension.empty() ? std::string() : extension.substr(1), codePage932, IsDot)) {
      FuzzFail("the extension begins at the last dot", path);
    }
    if (extension.empty() && HasUnit(fileName, codePage932, IsDot)) {
      FuzzFail("a file name with a dot has an extension", path);
    }
  } else {
    // Cut parts are still the beginnings of what they would have been.
    if (rest.compare(0, directory.size(), directory) != 0) {
      FuzzFail("a cut directory is a prefix of the path", path);
    }
  }

  // Each part can be asked for alone and comes out the same.
  Parts alone;
  SplitPath(input, nullptr, nullptr, alone.fileName, nullptr);
  SplitPath(input, nullptr, nullptr, nullptr, alone.extension);
  SplitPath(input, nullptr, alone.directory, nullptr, nullptr);
  if (fileName != alone.fileName || extension != alone.extension ||
      directory != alone.directory) {
    FuzzFail("a part asked for alone is the same", path);
  }
  if (IsLevelSetFile(input) != EqualsIgnoreCase(parts.extension, ".QLM")) {
    FuzzFail("a level set is a path with the extension .QLM", path);
  }
  free(input);
  return 0;
}
