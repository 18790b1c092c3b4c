// The whole run, RunInstaller, on any command-line tail, with the file
// system, the game and the user's answers chosen by the input.
//
// Input: one byte of switches (1: code page 932, 2: the files exist, 4: the
// copy succeeds, 8 and 16: how many times the game is found running), one
// byte n, n bytes of answers (one per box, mod 8; boxes past them answer 0),
// then the tail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dialogue/installer.h"
#include "dialogue/message.h"
#include "fuzz/fuzz_platform.h"
#include "levelset/levelset.h"
#include "platform/platform.h"

namespace {

const char kQuestion[] = "Quillomar";
const char kInstalled[] = "Level Set Installed";
const char kNotFound[] = "Level Set Not Found";
const char kInvalid[] = "Invalid File";
const char kRunning[] = "Quillomar is Running";
const char kCopyError[] = "Error Installing Level Set";

// The source path: between the first two double quotes, or the whole tail.
std::string SourceOf(const std::string& tail) {
  size_t first = tail.find('"');
  if (first == std::string::npos) return tail;
  size_t second = tail.find('"', first + 1);
  if (second == std::string::npos) return tail;
  return tail.substr(first + 1, second - first - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  uint8_t switches = data[0];
  size_t answerCount = data[1] % 8;
  if (size < 2 + answerCount) return 0;
  FuzzPlatform& platform = FuzzReset(switches & 1);
  platform.filesExist = switches & 2;
  platform.copySucceeds = switches & 4;
  int gameRunning = (switches >> 3) & 3;
  platform.gameRunningChecks = gameRunning;
  platform.answers = input.substr(2, answerCount);
  std::string tail = std::string(input.c_str() + 2 + answerCount);
  // Answers as the flow reads them.
  auto answer = [&](size_t box) {
    return box < platform.answers.size() ? static_cast<unsigned char>(platform.answers[box]) % 8
                                         : kAnswerNone;
  };

  char* buffer = static_cast<char*>(malloc(tail.size() + 1));
  memcpy(buffer, tail.c_str(), tail.size() + 1);
  int status = RunInstaller(buffer);
  free(buffer);
  const std::vector<std::string>& boxes = platform.boxCaptions;

  if (status != 0 && status != 1) FuzzFail("the exit status is 0 or 1", input);
  if (platform.errorTextsOut != 0) FuzzFail("the system text is given back", input);
  if (platform.longestBoxText > static_cast<size_t>(kMessageBufferSize - 1)) {
    FuzzFail("every text fits in 2047 bytes", input);
  }
  if (platform.copies > 1) FuzzFail("one copy at most", input);
  if (tail.empty()) {
    if (status != 0 || !boxes.empty() || platform.copies != 0) FuzzFail("an empty tail ends silently", input);
    return 0;
  }
  std::string source = SourceOf(tail);
  if (!platform.filesExist) {
    if (status != 0 || boxes != std::vector<std::string>{kNotFound}) FuzzFail("a missing file", input);
    return 0;
  }
  if (!IsLevelSetFile(source.c_str())) {
    if (status != 0 || boxes != std::vector<std::string>{kInvalid}) FuzzFail("not a level set", input);
    return 0;
  }
  if (boxes.empty() || boxes[0] != kQuestion) FuzzFail("a level set is asked about first", input);
  if (answer(0) == kAnswerNo) {
    if (status != 0 || boxes.size() != 1 || platform.copies != 0) FuzzFail("No ends the run", input);
    return 0;
  }
  if (IsAlreadyInstalled(source.c_str())) {
    if (status != 0 || boxes != std::vector<std::string>{kQuestion, kInstalled} ||
        platform.copies != 0) {
      FuzzFail("the installed copy itself is not copied", input);
    }
    return 0;
  }
  // The game guard: a warning for each check that found the game, Retry
  // going on and anything else ending the run.
  size_t box = 1;
  for (int running = gameRunning; running > 0; --running, ++box) {
    if (box >= boxes.size() || boxes[box] != kRunning) FuzzFail("a running game is warned about", input);
    if (answer(box) != kAnswerRetry) {
      if (status != 0 || boxes.size() != box + 1 || platform.copies != 0) {
        FuzzFail("anything but Retry ends the run", input);
      }
      return 0;
    }
  }
  if (boxes.size() != box + 1) FuzzFail("one box after the copy", input);
  char path[kPathBufferSize];
  if (!GetLevelsDirectory(path) || !GetInstalledPath(source.c_str(), path)) {
    // A path too long to build is refused before anything is touched.
    if (status != 0 || platform.copies != 0 || boxes[box] != kCopyError) {
      FuzzFail("a path too long to build is refused", input);
    }
    return 0;
  }
  if (platform.copies != 1 || platform.copySource != source || platform.copyTarget != path) {
    FuzzFail("the source is copied onto its installed path", input);
  }
  if (platform.copySucceeds) {
    if (status != 1 || boxes[box] != kInstalled) FuzzFail("a copy that succeeds is confirmed", input);
  } else {
    if (status != 0 || boxes[box] != kCopyError) FuzzFail("a copy that fails is reported", input);
  }
  return 0;
}
