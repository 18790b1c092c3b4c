// The cleaning of a file name: DecodeSpaces and StripCopySuffix, alone and
// one after the other in both orders.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_platform.h"
#include "levelset/levelset.h"

namespace {

std::string Decode(std::string text) {
  char* buffer = static_cast<char*>(malloc(text.size() + 1));
  memcpy(buffer, text.c_str(), text.size() + 1);
  DecodeSpaces(buffer);
  std::string result = buffer;
  free(buffer);
  return result;
}

std::string Strip(std::string text) {
  char* buffer = static_cast<char*>(malloc(text.size() + 1));
  memcpy(buffer, text.c_str(), text.size() + 1);
  StripCopySuffix(buffer);
  std::string result = buffer;
  free(buffer);
  return result;
}

// Replace the first "%20" by a blank and look again from the start, until
// none is left.
std::string DecodeOneAtATime(std::string text) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  name = std::string(name.c_str());
  FuzzReset(false);

  std::string decoded = Decode(name);
  if (decoded.find("%20") != std::string::npos) FuzzFail("no \"%20\" is left", name);
  if (decoded != DecodeOneAtATime(name)) FuzzFail("one pass decodes as repeated searches do", name);
  if (Decode(decoded) != decoded) FuzzFail("decoding twice changes nothing", name);

  std::string stripped = Strip(name);
  if (name.compare(0, stripped.size(), stripped) != 0) FuzzFail("a stripped name is a prefix", name);
  size_t lastDash = name.rfind('-');
  if (lastDash != std::string::npos && AllDigits(name.substr(lastDash + 1)) &&
      stripped != name.substr(0, lastDash)) {
    FuzzFail("a dash and digits at the end always go", name);
  }
  if (stripped != name) {
    // What went is one suffix: "-" and digits, or "[" digits "]" and the
    // rest up to a final "]".
    std::string gone = name.substr(stripped.size());
    bool dash = gone[0] == '-' && AllDigits(gone.substr(1));
    bool bracket = false;
    if (!dash && gone[0] == '[' && name.back() == ']') {
      size_t close = gone.find(']');
      bracket = close != std::string::npos && AllDigits(gone.substr(1, close - 1)) &&
                gone.find('[', 1) == std::string::npos;
    }
    if (!dash && !bracket) FuzzFail("only a numeric copy suffix is stripped", name);
    if (bracket) {
      // The dash form comes first: it would have been taken had it been there.
      if (lastDash != std::string::npos && AllDigits(name.substr(lastDash + 1))) {
        FuzzFail("the dash form wins over the bracket form", name);
      }
    }
  }

  if (Decode(Strip(name)) != Strip(Decode(name))) {
    FuzzFail("the two cleanings give the same result in either order", name);
  }
  return 0;
}
