// The Windows backend: every operation is the one kernel32 or user32 call
// that the installer was written against, with its result passed back as is.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/platform.h"

// The logic speaks in the values of the Windows message box; they go
// through here unchanged, so they must be the same numbers.
static_assert(kBoxOk == MB_OK, "MB_OK");
static_assert(kBoxYesNo == MB_YESNO, "MB_YESNO");
static_assert(kBoxRetryCancel == MB_RETRYCANCEL, "MB_RETRYCANCEL");
static_assert(kBoxIconStop == MB_ICONHAND, "MB_ICONHAND");
static_assert(kBoxIconQuestion == MB_ICONQUESTION, "MB_ICONQUESTION");
static_assert(kBoxIconWarning == MB_ICONEXCLAMATION, "MB_ICONEXCLAMATION");
static_assert(kBoxIconInformation == MB_ICONASTERISK, "MB_ICONASTERISK");
static_assert(kAnswerOk == IDOK, "IDOK");
static_assert(kAnswerCancel == IDCANCEL, "IDCANCEL");
static_assert(kAnswerRetry == IDRETRY, "IDRETRY");
static_assert(kAnswerYes == IDYES, "IDYES");
static_assert(kAnswerNo == IDNO, "IDNO");
static_assert(kPathBufferSize == MAX_PATH, "MAX_PATH");

char* PlatformGetCommandLine() { return GetCommandLineA(); }

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  static_assert(MAX_LEADBYTES == 12, "lead-byte table size");
  for (int i = 0; i < 12; ++i) ranges[i] = 0;
  CPINFO info;
  if (!GetCPInfo(CP_ACP, &info)) return;
  for (int i = 0; i < 12; ++i) ranges[i] = info.LeadByte[i];
}

bool PlatformTextIsUtf8() { return GetACP() == CP_UTF8; }

char PlatformPathSeparator() { return '\\'; }

bool PlatformNamedMutexExists(const char* name) {
  HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size, uint32_t* refusal) {
  // A path that cannot be had leaves the paths relative to the current
  // directory. A path cut to fit gives size; Windows before Vista leaves it
  // without a terminator then.
  *refusal = 0;
  DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  if (length >= size && size != 0) buffer[size - 1] = '\0';
  return length;
}

bool FileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool PlatformNamesIgnoreCase() { return true; }

void PlatformCreateDirectory(const char* path) { CreateDirectoryA(path, nullptr); }

void PlatformSetNormalAttributes(const char* path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

bool PlatformCopyFile(const char* source, const char* target, uint32_t* failure) {
  if (CopyFileA(source, target, FALSE)) return true;
  *failure = GetLastError();
  return false;
}

char* PlatformGetErrorText(uint32_t code, const char*, const char*) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
      nullptr);
  if (length == 0) {
    if (text) LocalFree(text);
    return nullptr;
  }
  return text;
}

void PlatformFreeErrorText(char* text) { LocalFree(text); }

uint32_t PlatformNameTooLongError() { return ERROR_FILENAME_EXCED_RANGE; }

int PlatformMessageBox(const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(nullptr, text, caption, style);
}
