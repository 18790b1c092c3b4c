// A scripted platform for tests: queued answers, recorded boxes and calls,
// an in-memory file system with Windows-style names, and injected failures.
#ifndef LEVELSET_TESTS_FAKE_PLATFORM_H
#define LEVELSET_TESTS_FAKE_PLATFORM_H

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeBox {
  std::string caption;
  uint32_t style;
  std::string text;
};

struct FakePlatform {
  // Code page: lead-byte ranges as the platform reports them (pairs, ended
  // by zeros). Empty: single-byte.
  std::vector<unsigned char> leadByteRanges;
  char separator = '\\';

  // The program file's path; moduleFileNameFails gives 0 with the refusal
  // moduleFileNameRefusal, and a path of 260 bytes or more is cut as the
  // platform cuts it.
  std::string moduleFileName = "C:\\Games\\Quillomar\\Setup.exe";
  bool moduleFileNameFails = false;
  uint32_t moduleFileNameRefusal = 0;
  int moduleFileNameCalls = 0;

  // Files and directories, by exact name; names compare ignoring ASCII case
  // when caseInsensitive is set, as on Windows.
  std::map<std::string, std::string> files;
  std::set<std::string> directories;
  std::map<std::string, uint32_t> attributesReset;  // path -> number of resets
  bool caseInsensitive = true;

  // The game holds its lock for this many more checks (-1: for ever).
  int gameRunningChecks = 0;
  int gameChecks = 0;

  // Answers to boxes, in order; once used up, every box answers
  // defaultAnswer.
  std::deque<int> answers;
  int defaultAnswer = 1;
  std::vector<FakeBox> boxes;

  // Injected failures.
  uint32_t copyFailsWith = 0;          // nonzero: every copy fails with it
  bool createDirectoryFails = false;
  bool setAttributesFails = false;
  std::set<uint32_t> codesWithoutText;  // the system has no text for these

  // What happened, in order: "CreateDirectory <path>", "SetNormal <path>",
  // "Copy <from> -> <to>", "Box <caption>", "GameCheck".
  std::vector<std::string> calls;
  int errorTextsOut = 0;  // allocated and not yet released
  uint32_t lastError = 0;
};

// Writes path as GetModuleFileName does: whole when it fits, otherwise cut
// to size - 1 bytes with the result size.
inline uint32_t FakeModuleFileName(const std::string& path, char* buffer, uint32_t size) {
  if (size == 0) return 0;
  if (path.size() >= size) {
    path.copy(buffer, size - 1);
    buffer[size - 1] = '\0';
    return size;
  }
  path.copy(buffer, path.size());
  buffer[path.size()] = '\0';
  return static_cast<uint32_t>(path.size());
}

// The fake that the platform functions use; reset before each test.
FakePlatform& Fake();
void ResetFake();

// Windows failure codes the fake uses.
constexpr uint32_t kFakeFileNotFound = 2;
constexpr uint32_t kFakePathNotFound = 3;
constexpr uint32_t kFakeAccessDenied = 5;
constexpr uint32_t kFakeSharingViolation = 32;
constexpr uint32_t kFakeDiskFull = 112;
constexpr uint32_t kFakeNameTooLong = 206;

#endif
