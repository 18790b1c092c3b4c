// SplitPath on any path, in a single-byte code page, in code page 932 and
// in UTF-8. The first byte picks the code page (odd: 932; else bit 1: UTF-8)
// and is not part of the path.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/model.h"
#include "levelset/levelset.h"
#include "tests/fake_platform.h"

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

// Whether part, taken on its own, ends in a lead byte whose partner is not
// in it.
bool EndsInHalfCharacter(const std::string& part, model::CodePage code) {
  size_t at = 0;
  while (at < part.size() && at + model::CharacterLength(part, at, code) < part.size()) {
    at += model::CharacterLength(part, at, code);
  }
  return !part.empty() && at == part.size() - 1 && model::IsLead(part[at], code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  model::CodePage code = model::PickCodePage(data[0], 2);
  std::string path(reinterpret_cast<const char*>(data + 1), size - 1);
  path = std::string(path.c_str());
  ResetFake();
  UseCodePage(code);

  char* input = static_cast<char*>(malloc(path.size() + 1));
  memcpy(input, path.c_str(), path.size() + 1);
  Parts parts;
  SplitPath(input, parts.drive, parts.directory, parts.fileName, parts.extension);
  if (path != input) FuzzFail("the path is left alone", path);

  model::Parts expected = model::Split(path, code);
  if (expected.drive != parts.drive || expected.directory != parts.directory ||
      expected.name != parts.fileName || expected.extension != parts.extension) {
    FuzzFail("the parts are the path's drive, directory, name and extension", path);
  }
  for (const char* part : {parts.directory, parts.fileName, parts.extension}) {
    if (strlen(part) > kPartSize - 1) FuzzFail("each part is at most 255 bytes", path);
    // Only a lone lead byte at the very end of the path may end a part.
    std::string text = part;
    if (EndsInHalfCharacter(text, code) &&
        !(text.size() <= path.size() && path.compare(path.size() - text.size(), text.size(), text) == 0)) {
      FuzzFail("no part ends in half a double-byte character", path);
    }
  }
  if (path.size() - strlen(parts.drive) <= kPartSize - 1 &&
      std::string(parts.drive) + parts.directory + parts.fileName + parts.extension != path) {
    FuzzFail("the parts of a short path give it back", path);
  }

  // Each part can be asked for alone and comes out the same.
  Parts alone;
  SplitPath(input, nullptr, nullptr, alone.fileName, nullptr);
  SplitPath(input, nullptr, nullptr, nullptr, alone.extension);
  SplitPath(input, nullptr, alone.directory, nullptr, nullptr);
  if (strcmp(parts.fileName, alone.fileName) != 0 || strcmp(parts.extension, alone.extension) != 0 ||
      strcmp(parts.directory, alone.directory) != 0) {
    FuzzFail("a part asked for alone is the same", path);
  }
  if (IsLevelSetFile(input) != EqualsIgnoreCase(parts.extension, ".QLM")) {
    FuzzFail("a level set is a path with the extension .QLM", path);
  }
  free(input);
  return 0;
}
