// The cleaning of a file name: DecodeSpaces and StripCopySuffix, alone and
// one after the other in both orders, and GetDisplayName, which uses them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/model.h"
#include "levelset/levelset.h"
#include "tests/fake_platform.h"

namespace {

// The product's cleaning, run on a heap copy of exactly the text's size.
std::string Clean(const std::string& text, void (*clean)(char*)) {
  char* buffer = static_cast<char*>(malloc(text.size() + 1));
  memcpy(buffer, text.c_str(), text.size() + 1);
  clean(buffer);
  std::string result = buffer;
  free(buffer);
  return result;
}

std::string Decode(const std::string& text) { return Clean(text, DecodeSpaces); }
std::string Strip(const std::string& text) { return Clean(text, StripCopySuffix); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  name = std::string(name.c_str());
  ResetFake();

  std::string decoded = Decode(name);
  if (decoded.find("%20") != std::string::npos) FuzzFail("no \"%20\" is left", name);
  if (decoded != model::Decode(name)) FuzzFail("one pass decodes as repeated searches do", name);
  if (Decode(decoded) != decoded) FuzzFail("decoding twice changes nothing", name);

  std::string stripped = Strip(name);
  if (stripped != model::Strip(name)) FuzzFail("one numeric copy suffix is stripped", name);
  if (name.compare(0, stripped.size(), stripped) != 0) FuzzFail("a stripped name is a prefix", name);
  size_t lastDash = name.rfind('-');
  if (lastDash != std::string::npos && model::AllDigits(name.substr(lastDash + 1)) &&
      stripped != name.substr(0, lastDash)) {
    FuzzFail("a dash and digits at the end always go", name);
  }

  if (Decode(Strip(name)) != Strip(Decode(name))) {
    FuzzFail("the two cleanings give the same result in either order", name);
  }
  // The display name of a path whose file-name part is the name.
  if (name.size() < kPartSize && name.find_first_of("/\\.:") == std::string::npos) {
    char display[kPathBufferSize];
    GetDisplayName(name.c_str(), display);
    if (display != Strip(Decode(name))) FuzzFail("the display name is decoded, then stripped", name);
  }
  return 0;
}
