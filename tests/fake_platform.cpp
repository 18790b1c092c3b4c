#include "tests/fake_platform.h"

#include <cstdlib>
#include <cstring>

#include "levelset/levelset.h"
#include "platform/platform.h"

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

bool HasFile(const std::string& path) {
  for (const auto& entry : Fake().files) {
    if (Key(entry.first) == Key(path)) return true;
  }
  return false;
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
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(path[i]))) ++i;
    else if (path[i] == '\\' || path[i] == '/') last = i;
  }
  return last == std::string::npos ? std::string() : path.substr(0, last);
}

bool Fail(uint32_t code) {
  Fake().lastError = code;
  return false;
}

std::string FileKeyFor(const std::string& path) {
  for (const auto& entry : Fake().files) {
    if (Key(entry.first) == Key(path)) return entry.first;
  }
  return path;
}

}  // namespace

FakePlatform& Fake() {
  if (!g_fake) g_fake = new FakePlatform();
  return *g_fake;
}

void ResetFake() {
  delete g_fake;
  g_fake = new FakePlatform();
  ForgetProgramDirectory();
  LoadLeadBytes();
}

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  memset(ranges, 0, 12);
  for (size_t i = 0; i < Fake().leadByteRanges.size() && i < 10; ++i) {
    ranges[i] = Fake().leadByteRanges[i];
  }
}

char PlatformPathSeparator() { return Fake().separator; }

int PlatformStringLength(const char* text) { return static_cast<int>(strlen(text)); }

bool PlatformNamedMutexExists(const char* name) {
  Fake().calls.push_back(std::string("GameCheck ") + name);
  ++Fake().gameChecks;
  if (Fake().gameRunningChecks == 0) return false;
  if (Fake().gameRunningChecks > 0) --Fake().gameRunningChecks;
  return true;
}

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size, uint32_t* refusal) {
  ++Fake().moduleFileNameCalls;
  *refusal = Fake().moduleFileNameRefusal;
  if (Fake().moduleFileNameFails) return 0;
  return FakeModuleFileName(Fake().moduleFileName, buffer, size);
}

bool PlatformFileExists(const char* path) { return HasFile(path) || HasDirectory(path); }

bool PlatformNamesIgnoreCase() { return Fake().caseInsensitive; }

bool PlatformCreateDirectory(const char* path) {
  Fake().calls.push_back(std::string("CreateDirectory ") + path);
  if (Fake().createDirectoryFails) return Fail(kFakeAccessDenied);
  if (HasDirectory(path) || HasFile(path)) return Fail(183);  // already exists
  if (!HasDirectory(ParentOf(path))) return Fail(kFakePathNotFound);
  Fake().directories.insert(path);
  return true;
}

bool PlatformSetNormalAttributes(const char* path) {
  Fake().calls.push_back(std::string("SetNormal ") + path);
  if (Fake().setAttributesFails) return Fail(kFakeAccessDenied);
  if (!HasFile(path)) return Fail(kFakeFileNotFound);
  ++Fake().attributesReset[FileKeyFor(path)];
  return true;
}

bool PlatformCopyFile(const char* source, const char* target) {
  Fake().calls.push_back(std::string("Copy ") + source + " -> " + target);
  if (Fake().copyFailsWith != 0) return Fail(Fake().copyFailsWith);
  if (HasDirectory(source)) return Fail(kFakeAccessDenied);
  if (!HasFile(source)) return Fail(kFakeFileNotFound);
  if (Key(source) == Key(target)) return Fail(kFakeSharingViolation);
  if (!HasDirectory(ParentOf(target))) return Fail(kFakePathNotFound);
  if (HasDirectory(target)) return Fail(kFakeAccessDenied);
  std::string contents = Fake().files[FileKeyFor(source)];
  Fake().files[FileKeyFor(target)] = contents;
  return true;
}

uint32_t PlatformGetLastError() { return Fake().lastError; }

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
