// The whole run, RunInstaller on any command-line tail or
// RunInstallerOnArguments on any arguments, with the file system, the game
// and the user's answers chosen by the input.
//
// Input: one byte of switches (1: code page 932, 2: the files exist, 4: the
// copy succeeds, 8 and 16: how many times the game is found running, 32:
// arguments instead of a tail), one byte n, n bytes of answers (one per
// box, mod 8; boxes past them answer 0), then the tail, or the arguments
// each ended by a NUL byte (the last one by the input's end).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dialogue/installer.h"
#include "fuzz/model.h"
#include "levelset/levelset.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "text/message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  uint8_t switches = data[0];
  size_t answerCount = data[1] % 8;
  if (size < 2 + answerCount) return 0;
  ResetFake();
  if (switches & 1) UseCodePage932();
  FakePlatform& platform = Fake();
  std::string tail = std::string(input.c_str() + 2 + answerCount);
  std::string source = model::SourceOf(tail);
  std::vector<std::string> arguments;
  bool fromArguments = switches & 32;
  if (fromArguments) {
    // The arguments' name, joined by blanks, is the source as it is; the
    // file between its first two quotes, if any, is there too, so that
    // reading the quotes would copy another file, or find one that the
    // name passed does not.
    std::string rest = input.substr(2 + answerCount);
    for (size_t at = 0; at < rest.size();) {
      size_t end = rest.find('\0', at);
      if (end == std::string::npos) end = rest.size();
      arguments.push_back(rest.substr(at, end - at));
      at = end + 1;
    }
    tail.clear();
    for (size_t i = 0; i < arguments.size(); ++i) tail += (i == 0 ? "" : " ") + arguments[i];
    if (arguments.size() == 1 && arguments[0].empty()) tail.clear();
    if (model::SourceOf(tail) != tail) platform.files[model::SourceOf(tail)] = "another file";
    source = tail;
  }
  if (switches & 2) {
    platform.directories = {"C:\\Games\\Quillomar"};
    platform.files[source] = "level set";
  }
  if (!(switches & 4)) platform.copyFailsWith = kFakeAccessDenied;
  int gameRunning = (switches >> 3) & 3;
  platform.gameRunningChecks = gameRunning;
  std::vector<int> answers;
  for (size_t i = 0; i < answerCount; ++i) answers.push_back(data[2 + i] % 8);
  platform.answers.assign(answers.begin(), answers.end());
  platform.defaultAnswer = kAnswerNone;
  auto answer = [&](size_t box) { return box < answers.size() ? answers[box] : kAnswerNone; };

  int status;
  if (fromArguments) {
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    status = RunInstallerOnArguments(static_cast<int>(pointers.size()), pointers.data());
  } else {
    char* buffer = static_cast<char*>(malloc(tail.size() + 1));
    memcpy(buffer, tail.c_str(), tail.size() + 1);
    status = RunInstaller(buffer);
    free(buffer);
  }
  std::vector<std::string> boxes;
  for (const Box& box : platform.boxes) {
    boxes.push_back(box.caption);
    if (box.text.size() > static_cast<size_t>(kMessageBufferSize - 1)) {
      FuzzFail("every text fits in 2047 bytes", input);
    }
  }
  std::vector<std::string> copies;
  for (const std::string& call : platform.calls) {
    if (call.rfind("Copy ", 0) == 0) copies.push_back(call);
  }

  if (status != 0 && status != 1) FuzzFail("the exit status is 0 or 1", input);
  if (platform.errorTextsOut != 0) FuzzFail("the system text is given back", input);
  if (copies.size() > 1) FuzzFail("one copy at most", input);
  if (tail.empty()) {
    if (status != 0 || !boxes.empty() || !copies.empty()) FuzzFail("an empty tail ends silently", input);
    return 0;
  }
  if (!(switches & 2)) {
    if (status != 0 || boxes != std::vector<std::string>{kNotFoundCaption}) FuzzFail("a missing file", input);
    return 0;
  }
  if (!IsLevelSetFile(source.c_str())) {
    if (status != 0 || boxes != std::vector<std::string>{kInvalidCaption}) FuzzFail("not a level set", input);
    return 0;
  }
  if (boxes.empty() || boxes[0] != kQuestionCaption) FuzzFail("a level set is asked about first", input);
  if (answer(0) == kAnswerNo) {
    if (status != 0 || boxes.size() != 1 || !copies.empty()) FuzzFail("No ends the run", input);
    return 0;
  }
  ProgramDirectory program = {};
  if (IsAlreadyInstalled(&program, source.c_str())) {
    if (status != 0 || boxes != std::vector<std::string>{kQuestionCaption, kInstalledCaption} ||
        !copies.empty()) {
      FuzzFail("the installed copy itself is not copied", input);
    }
    return 0;
  }
  // The game guard: a warning for each check that found the game, Retry
  // going on and anything else ending the run.
  size_t box = 1;
  for (int running = gameRunning; running > 0; --running, ++box) {
    if (box >= boxes.size() || boxes[box] != kRunningCaption) FuzzFail("a running game is warned about", input);
    if (answer(box) != kAnswerRetry) {
      if (status != 0 || boxes.size() != box + 1 || !copies.empty()) {
        FuzzFail("anything but Retry ends the run", input);
      }
      return 0;
    }
  }
  if (boxes.size() != box + 1) FuzzFail("one box after the copy", input);
  char path[kPathBufferSize];
  if (!GetLevelsDirectory(&program, path) || !GetInstalledPath(&program, source.c_str(), path)) {
    // A path too long to build is refused before anything is touched.
    if (status != 0 || !copies.empty() || boxes[box] != kCopyErrorCaption) {
      FuzzFail("a path too long to build is refused", input);
    }
    return 0;
  }
  if (copies != std::vector<std::string>{"Copy " + source + " -> " + path}) {
    FuzzFail("the source is copied onto its installed path", input);
  }
  if (switches & 4) {
    if (status != 1 || boxes[box] != kInstalledCaption) FuzzFail("a copy that succeeds is confirmed", input);
  } else {
    if (status != 0 || boxes[box] != kCopyErrorCaption) FuzzFail("a copy that fails is reported", input);
  }
  return 0;
}
