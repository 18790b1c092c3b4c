// What the fuzz targets hold the installer to: a plain model of its text
// rules, written apart from the product's code and sharing none of it, and
// the way a target reports a property that does not hold.
#ifndef LEVELSET_FUZZ_MODEL_H
#define LEVELSET_FUZZ_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace model {

enum class CodePage { kSingleByte, k932, kUtf8 };

// Code page 932 when bit 0 of switches is set, otherwise UTF-8 when the
// bit utf8Bit is, otherwise a single-byte code page.
CodePage PickCodePage(uint8_t switches, uint8_t utf8Bit);

// Code page 932's lead bytes, 0x81-0x9F and 0xE0-0xFC; none elsewhere.
bool IsLead(char byte, CodePage code);

// The step of a scan for quotes, separators and dots: a lead byte and the
// byte after it in code page 932 (a lead byte at the very end stands
// alone), one byte elsewhere, UTF-8 included.
size_t ScanStep(const std::string& text, size_t at, CodePage code);

// The length of the character at text[at], as a cut must keep it whole: the
// scan's step, or under UTF-8 a well-formed character (a byte that begins
// none stands alone).
size_t CharacterLength(const std::string& text, size_t at, CodePage code);

// The longest prefix of at most limit bytes that ends at a whole character.
std::string WholePrefix(const std::string& text, size_t limit, CodePage code);

// A path's drive, directory, file name and extension, each part cut to 255
// bytes at a whole character.
struct Parts {
  std::string drive, directory, name, extension;
};
Parts Split(const std::string& path, CodePage code);

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

// Sets the tests' scripted platform to the code page.
void UseCodePage(model::CodePage code);

#endif
