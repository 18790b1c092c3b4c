// The platform as the fuzz targets see it: a code page, a program file path
// and a message box that only remembers what it was asked to show. Files,
// copies and the game lock are never reached by the targets.
#ifndef LEVELSET_FUZZ_FUZZ_PLATFORM_H
#define LEVELSET_FUZZ_FUZZ_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FuzzPlatform {
  bool codePage932 = false;  // lead bytes 0x81-0x9F and 0xE0-0xFC
  char separator = '\\';
  std::string moduleFileName = "C:\\Games\\Quillomar\\Setup.exe";
  bool moduleFileNameFails = false;
  // The whole flow: what the file system and the user answer.
  bool filesExist = false;
  bool copySucceeds = true;
  int gameRunningChecks = 0;  // the game holds its lock for this many checks
  std::string answers;        // one byte per box, in order; then 0
  int copies = 0;
  std::string copySource, copyTarget;
  int errorTextsOut = 0;
  size_t longestBoxText = 0;
  std::string lastBoxText;
  std::string lastBoxCaption;
  uint32_t lastBoxStyle = 0;
  int boxes = 0;
  std::vector<std::string> boxCaptions;
};

// Sets the platform up for one input and reloads the lead bytes and the
// program directory, as at process start.
FuzzPlatform& FuzzReset(bool codePage932);
FuzzPlatform& Fuzz();

// Whether byte begins a double-byte character in code page 932.
inline bool IsCodePage932Lead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A violated property: says which and stops the fuzzer with a crash report.
[[noreturn]] void FuzzFail(const char* property, const std::string& input);

#endif
