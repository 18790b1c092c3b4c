// What the fuzz targets hold the installer to: a plain model of its text
// rules, written apart from the product's code and sharing none of it, and
// the way a target reports a property that does not hold.
#ifndef LEVELSET_FUZZ_MODEL_H
#define LEVELSET_FUZZ_MODEL_H

#include <cstddef>
#include <string>

namespace model {

// Code page 932's lead bytes, 0x81-0x9F and 0xE0-0xFC; none in a single-byte
// code page.
bool IsLead(char byte, bool cp932);

// The length of the character at text[at]: a lead byte and the byte after
// it are one character; a lead byte at the very end stands alone.
size_t CharacterLength(const std::string& text, size_t at, bool cp932);

// The longest prefix of at most limit bytes that ends at a whole character.
std::string WholePrefix(const std::string& text, size_t limit, bool cp932);

// A path's drive, directory, file name and extension, each part cut to 255
// bytes at a whole character.
struct Parts {
  std::string drive, directory, name, extension;
};
Parts Split(const std::string& path, bool cp932);

// "%20" decoded, and one numeric copy suffix stripped.
std::string Decode(std::string text);
std::string Strip(const std::string& name);
bool AllDigits(const std::string& text);

// The level set's path in a command-line tail: between the first two double
// quotes, or the whole tail.
std::string SourceOf(const std::string& tail);

}  // namespace model

// A property that does not hold: says which, with the input, and stops the
// fuzzer with a crash report.
[[noreturn]] void FuzzFail(const char* property, const std::string& input);

#endif
