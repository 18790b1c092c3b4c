#include "fuzz/fuzz_platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "levelset/levelset.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"

namespace {
FuzzPlatform g_platform;
}  // namespace

FuzzPlatform& Fuzz() { return g_platform; }

FuzzPlatform& FuzzReset(bool codePage932) {
  g_platform = FuzzPlatform();
  g_platform.codePage932 = codePage932;
  LoadLeadBytes();
  ForgetProgramDirectory();
  return g_platform;
}

void FuzzFail(const char* property, const std::string& input) {
  fprintf(stderr, "\nProperty violated: %s\nInput (%zu bytes):", property, input.size());
  for (unsigned char c : input) fprintf(stderr, " %02x", c);
  fprintf(stderr, "\n");
  abort();
}

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  memset(ranges, 0, 12);
  if (g_platform.codePage932) {
    const unsigned char cp932[] = {0x81, 0x9F, 0xE0, 0xFC};
    memcpy(ranges, cp932, sizeof cp932);
  }
}

char PlatformPathSeparator() { return g_platform.separator; }

int PlatformStringLength(const char* text) { return static_cast<int>(strlen(text)); }

bool PlatformNamedMutexExists(const char*) {
  if (g_platform.gameRunningChecks <= 0) return false;
  --g_platform.gameRunningChecks;
  return true;
}

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size, uint32_t* refusal) {
  *refusal = 0;
  if (g_platform.moduleFileNameFails) return 0;
  return FakeModuleFileName(g_platform.moduleFileName, buffer, size);
}

bool PlatformFileExists(const char*) { return g_platform.filesExist; }
bool PlatformNamesIgnoreCase() { return true; }
bool PlatformCreateDirectory(const char*) { return false; }
bool PlatformSetNormalAttributes(const char*) { return false; }

bool PlatformCopyFile(const char* source, const char* target) {
  ++g_platform.copies;
  g_platform.copySource = source;
  g_platform.copyTarget = target;
  return g_platform.copySucceeds;
}
uint32_t PlatformGetLastError() { return 5; }

char* PlatformGetErrorText(uint32_t) {
  char* text = static_cast<char*>(malloc(16));
  if (text) snprintf(text, 16, "Access denied.");
  if (text) ++g_platform.errorTextsOut;
  return text;
}

void PlatformFreeErrorText(char* text) {
  --g_platform.errorTextsOut;
  free(text);
}

uint32_t PlatformNameTooLongError() { return 206; }

int PlatformMessageBox(const char* text, const char* caption, uint32_t style) {
  g_platform.lastBoxText = text;
  if (g_platform.lastBoxText.size() > g_platform.longestBoxText) {
    g_platform.longestBoxText = g_platform.lastBoxText.size();
  }
  g_platform.lastBoxCaption = caption;
  g_platform.lastBoxStyle = style;
  int answer = static_cast<size_t>(g_platform.boxes) < g_platform.answers.size()
                   ? static_cast<unsigned char>(g_platform.answers[g_platform.boxes]) % 8
                   : kAnswerNone;
  ++g_platform.boxes;
  g_platform.boxCaptions.push_back(caption);
  return answer;
}
