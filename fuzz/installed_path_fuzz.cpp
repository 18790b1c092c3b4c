// The installed path of any source under any program directory: the program
// file's path comes through the platform's module file name.
//
// Input: one byte of switches (1: code page 932, 2: "/" as separator, 4: the
// program file's path cannot be had, 8: UTF-8 where not 932), the program file's path, a zero byte,
// and the source path. Without a zero byte the whole rest is the source and
// the program lies in C:\Games\Quillomar\.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/model.h"
#include "levelset/levelset.h"
#include "tests/fake_platform.h"

namespace {

bool LastCharacterIsSeparator(const std::string& text, model::CodePage code) {
  size_t last = std::string::npos;
  for (size_t at = 0; at < text.size(); at += model::ScanStep(text, at, code)) last = at;
  return last == text.size() - 1 && (text[last] == '/' || text[last] == '\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  uint8_t switches = data[0];
  model::CodePage code = model::PickCodePage(switches, 8);
  ResetFake();
  UseCodePage(code);
  FakePlatform& platform = Fake();
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
      model::Parts split = model::Split(module, code);
      programDirectory = split.drive + split.directory;
      if (!split.directory.empty() && !LastCharacterIsSeparator(split.directory, code)) {
        programDirectory += platform.separator;
      }
    }
  }
  model::Parts split = model::Split(source, code);
  std::string expected = programDirectory + "Levels" + platform.separator +
                         model::Strip(model::Decode(split.name)) + split.extension;
  std::string levels = programDirectory + "Levels";
  bool builds = !refused && expected.size() <= kPathBufferSize - 1;
  bool levelsBuilds = !refused && levels.size() <= kPathBufferSize - 1;

  ProgramDirectory program = {};
  char* sourceCopy = static_cast<char*>(malloc(source.size() + 1));
  memcpy(sourceCopy, source.c_str(), source.size() + 1);
  char* out = static_cast<char*>(malloc(kPathBufferSize));
  memset(out, 'x', kPathBufferSize);
  bool built = GetInstalledPath(&program, sourceCopy, out);
  if (memchr(out, '\0', kPathBufferSize) == nullptr) FuzzFail("the installed path is terminated", input);
  if (source != sourceCopy) FuzzFail("the source is left alone", input);
  if (built != builds) FuzzFail("a path of 259 characters or fewer is built, a longer one not", input);
  if (built ? expected != out : out[0] != '\0') FuzzFail("the installed path is built exactly", input);

  memset(out, 'x', kPathBufferSize);
  bool levelsBuilt = GetLevelsDirectory(&program, out);
  if (memchr(out, '\0', kPathBufferSize) == nullptr) FuzzFail("the Levels path is terminated", input);
  if (levelsBuilt != levelsBuilds) FuzzFail("the Levels directory is built when it fits", input);
  if (levelsBuilt ? levels != out : out[0] != '\0') FuzzFail("the Levels directory is built exactly", input);

  if (!refused && programDirectory != GetProgramDirectory(&program)) FuzzFail("the program directory", input);
  bool installed = IsAlreadyInstalled(&program, sourceCopy);
  if (installed != (builds && EqualsIgnoreCase(expected.c_str(), source.c_str()))) {
    FuzzFail("installed means the source is its own installed path", input);
  }
  free(out);
  free(sourceCopy);
  return 0;
}
