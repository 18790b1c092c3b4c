// The Windows backend: every operation is the one kernel32 or user32 call
// that the installer was written against, with its result passed back as is.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/platform.h"

// The logic speaks in the values of the Windows message box; they go
// through here unchanged, so they must be the same numbers.
static_assert(kBoxOk == MB_OK, "MB_OK");
static_assert(kBoxOkCancel == MB_OKCANCEL, "MB_OKCANCEL");
static_assert(kBoxAbortRetryIgnore == MB_ABORTRETRYIGNORE, "MB_ABORTRETRYIGNORE");
static_assert(kBoxYesNoCancel == MB_YESNOCANCEL, "MB_YESNOCANCEL");
static_assert(kBoxYesNo == MB_YESNO, "MB_YESNO");
static_assert(kBoxRetryCancel == MB_RETRYCANCEL, "MB_RETRYCANCEL");
static_assert(kBoxButtonsMask == MB_TYPEMASK, "MB_TYPEMASK");
static_assert(kBoxIconStop == MB_ICONHAND, "MB_ICONHAND");
static_assert(kBoxIconQuestion == MB_ICONQUESTION, "MB_ICONQUESTION");
static_assert(kBoxIconWarning == MB_ICONEXCLAMATION, "MB_ICONEXCLAMATION");
static_assert(kBoxIconInformation == MB_ICONASTERISK, "MB_ICONASTERISK");
static_assert(kBoxIconMask == MB_ICONMASK, "MB_ICONMASK");
static_assert(kAnswerOk == IDOK, "IDOK");
static_assert(kAnswerCancel == IDCANCEL, "IDCANCEL");
static_assert(kAnswerAbort == IDABORT, "IDABORT");
static_assert(kAnswerRetry == IDRETRY, "IDRETRY");
static_assert(kAnswerIgnore == IDIGNORE, "IDIGNORE");
static_assert(kAnswerYes == IDYES, "IDYES");
static_assert(kAnswerNo == IDNO, "IDNO");
static_assert(kPathBufferSize == MAX_PATH, "MAX_PATH");

namespace {

// OpenMutexA's desired access: MUTEX_ALL_ACCESS.
constexpr DWORD kMutexAllAccess = 0x1F0001;
static_assert(kMutexAllAccess == MUTEX_ALL_ACCESS, "MUTEX_ALL_ACCESS");

// FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
// FORMAT_MESSAGE_FROM_SYSTEM, in the user's default language.
constexpr DWORD kErrorTextFlags = 0x1300;
static_assert(kErrorTextFlags == (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                  FORMAT_MESSAGE_FROM_SYSTEM),
              "FormatMessageA flags");
constexpr DWORD kUserDefaultLanguage = 0x400;
static_assert(kUserDefaultLanguage == MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), "language");

}  // namespace

void PlatformGetLeadByteRanges(unsigned char ranges[12]) {
  static_assert(MAX_LEADBYTES == 12, "lead-byte table size");
  for (int i = 0; i < 12; ++i) ranges[i] = 0;
  CPINFO info;
  if (!GetCPInfo(CP_ACP, &info)) return;
  for (int i = 0; i < 12; ++i) ranges[i] = info.LeadByte[i];
}

char PlatformPathSeparator() { return '\\'; }

int PlatformStringLength(const char* text) { return lstrlenA(text); }

bool PlatformNamedMutexExists(const char* name) {
  HANDLE mutex = OpenMutexA(kMutexAllAccess, FALSE, name);
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

bool PlatformFileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool PlatformNamesIgnoreCase() { return true; }

bool PlatformCreateDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool PlatformSetNormalAttributes(const char* path) {
  return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool PlatformCopyFile(const char* source, const char* target) {
  return CopyFileA(source, target, FALSE) != FALSE;
}

uint32_t PlatformGetLastError() { return GetLastError(); }

char* PlatformGetErrorText(uint32_t code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(kErrorTextFlags, nullptr, code, kUserDefaultLanguage,
                                reinterpret_cast<LPSTR>(&text), 0, nullptr);
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
