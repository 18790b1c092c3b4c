// A scripted platform for the tests and the fuzzers: queued answers,
// recorded boxes and calls, an in-memory file system with Windows-style
// names, and injected failures.
#ifndef LEVELSET_TESTS_FAKE_PLATFORM_H
#define LEVELSET_TESTS_FAKE_PLATFORM_H

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/texts.h"

struct FakePlatform {
  // Code page: lead-byte ranges as the platform reports them (pairs, ended
  // by zeros). Empty: single-byte.
  std::vector<unsigned char> leadByteRanges;
  bool utf8 = false;
  char separator = '\\';

  // The program file's path; moduleFileNameFails gives 0 with the code
  // moduleFileNameError, and a path of 260 bytes or more is cut as the
  // platform cuts it. Without it, relative paths stand in where
  // relativePathsUsable (as on Windows).
  std::string moduleFileName = "C:\\Games\\Quillomar\\Setup.exe";
  bool moduleFileNameFails = false;
  uint32_t moduleFileNameError = 2;  // the file was not found
  bool relativePathsUsable = true;
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
  std::vector<Box> boxes;

  // Injected failures.
  uint32_t copyFailsWith = 0;          // nonzero: every copy fails with it
  PlatformFailureKind copyFailsAs = kFailureSystem;  // another: every copy fails so
  bool createDirectoryFails = false;
  bool setAttributesFails = false;
  std::set<uint32_t> codesWithoutText;  // the system has no text for these

  // What happened, in order: "CreateDirectory <path>", "SetNormal <path>",
  // "Copy <from> -> <to>", "Box <caption>", "GameCheck <name>".
  std::vector<std::string> calls;
  int errorTextsOut = 0;  // allocated and not yet released
};

// The fake that the platform functions use; reset before each test.
FakePlatform& Fake();
void ResetFake();

// Code page 932, as Japanese Windows has it, for the code page and the
// logic's lead bytes at once.
void UseCodePage932();
// UTF-8, as Windows 10 1903 and later give a program that asks for it.
void UseUtf8();

// Windows failure codes the fake uses.
constexpr uint32_t kFakeFileNotFound = 2;
constexpr uint32_t kFakePathNotFound = 3;
constexpr uint32_t kFakeAccessDenied = 5;
constexpr uint32_t kFakeSharingViolation = 32;
constexpr uint32_t kFakeDiskFull = 112;
constexpr uint32_t kFakeNameTooLong = 206;

#endif
