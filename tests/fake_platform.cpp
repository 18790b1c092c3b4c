#include "tests/fake_platform.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "text/codepage.h"

namespace {

FakePlatform* g_fake = nullptr;

std::string Key(const std::string& path) {
  if (!Fake().caseInsensitive) return path;
  std::string key = path;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return key;
}

// The file's name as the fake keeps it, or null.
const std::string* FindFile(const std::string& path) {
  for (const auto& entry : Fake().files) {
    if (Key(entry.first) == Key(path)) return &entry.first;
  }
  return nullptr;
}

bool HasDirectory(const std::string& path) {
  for (const auto& entry : Fake().directories) {
    if (Key(entry) == Key(path)) return true;
  }
  return false;
}

// Up to the last separator that is not the second byte of a double-byte
// character.
std::string ParentOf(const std::string& path) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size(); i += CharacterLength(&path[i], path.size() - i)) {
    if (path[i] == '\\' || path[i] == '/') last = i;
  }
  return last == std::string::npos ? std::string() : path.substr(0, last);
}

// Why a copy of source onto target fails, or 0.
uint32_t CopyProblem(const std::string& source, const std::string& target) {
  if (Fake().copyFailsWith != 0) return Fake().copyFailsWith;
  if (HasDirectory(source)) return kFakeAccessDenied;
  if (!FindFile(source)) return kFakeFileNotFound;
  if (Key(source) == Key(target)) return kFakeSharingViolation;
  if (!HasDirectory(ParentOf(target))) return kFakePathNotFound;
  if (HasDirectory(target)) return kFakeAccessDenied;
  return 0;
}

}  // namespace

FakePlatform& Fake() {
  if (!g_fake) g_fake = new FakePlatform();
  return *g_fake;
}

void ResetFake() {
  delete g_fake;
  g_fake = new FakePlatform();
  LoadLeadBytes();
}

void UseCodePage932() {
  Fake().leadByteRanges = {0x81, 0x9F, 0xE0, 0xFC};
  LoadLeadBytes();
}

void UseUtf8() {
  Fake().leadByteRanges.clear();
  Fake().utf8 = true;
  LoadLeadBytes();
}

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  memset(ranges, 0, 12);
  for (size_t i = 0; i < Fake().leadByteRanges.size() && i < 10; ++i) {
    ranges[i] = Fake().leadByteRanges[i];
  }
}

bool PlatformTextIsUtf8() { return Fake().utf8; }

char PlatformPathSeparator() { return Fake().separator; }

bool PlatformGameLockHeld(const char* name) {
  Fake().calls.push_back(std::string("GameCheck ") + name);
  ++Fake().gameChecks;
  if (Fake().gameRunningChecks == 0) return false;
  if (Fake().gameRunningChecks > 0) --Fake().gameRunningChecks;
  return true;
}

uint32_t PlatformGetProgramPath(char* buffer, uint32_t size, uint32_t* code) {
  // As GetModuleFileName: whole when it fits, otherwise cut to size - 1
  // bytes with the result size.
  // The code is written only when the path cannot be had.
  ++Fake().moduleFileNameCalls;
  const std::string& path = Fake().moduleFileName;
  if (Fake().moduleFileNameFails || size == 0) {
    *code = Fake().moduleFileNameError;
    return 0;
  }
  size_t length = path.size() < size ? path.size() : size - 1;
  path.copy(buffer, length);
  buffer[length] = '\0';
  return path.size() < size ? static_cast<uint32_t>(length) : size;
}

bool PlatformRelativePathsUsable() { return Fake().relativePathsUsable; }

bool PlatformFileOrFolderExists(const char* path) { return FindFile(path) || HasDirectory(path); }

bool PlatformNamesIgnoreCase() { return Fake().caseInsensitive; }

void PlatformCreateDirectory(const char* path) {
  Fake().calls.push_back(std::string("CreateDirectory ") + path);
  if (!Fake().createDirectoryFails && !HasDirectory(path) && !FindFile(path) &&
      HasDirectory(ParentOf(path))) {
    Fake().directories.insert(path);
  }
}

void PlatformSetNormalAttributes(const char* path) {
  Fake().calls.push_back(std::string("SetNormal ") + path);
  const std::string* file = FindFile(path);
  if (!Fake().setAttributesFails && file) ++Fake().attributesReset[*file];
}

bool PlatformCopyFile(const char* source, const char* target, PlatformFailure* failure) {
  Fake().calls.push_back(std::string("Copy ") + source + " -> " + target);
  if (Fake().copyFailsAs != kFailureSystem) {
    *failure = {Fake().copyFailsAs, 0};
    return false;
  }
  *failure = {kFailureSystem, CopyProblem(source, target)};
  if (failure->code != 0) return false;
  const std::string* existing = FindFile(target);
  std::string contents = Fake().files[*FindFile(source)];
  Fake().files[existing ? *existing : std::string(target)] = contents;
  return true;
}

char* PlatformGetErrorText(uint32_t code) {
  if (Fake().codesWithoutText.count(code)) return nullptr;
  std::string text = "System text " + std::to_string(code) + ".\r\n";
  char* out = static_cast<char*>(malloc(text.size() + 1));
  memcpy(out, text.c_str(), text.size() + 1);
  ++Fake().errorTextsOut;
  return out;
}

void PlatformFreeErrorText(char* text) {
  --Fake().errorTextsOut;
  free(text);
}

uint32_t PlatformNameTooLongError() { return kFakeNameTooLong; }

int PlatformMessageBox(const char* text, const char* caption, uint32_t style) {
  Fake().calls.push_back(std::string("Box ") + caption);
  Fake().boxes.push_back({caption, style, text});
  if (Fake().answers.empty()) return Fake().defaultAnswer;
  int answer = Fake().answers.front();
  Fake().answers.pop_front();
  return answer;
}
