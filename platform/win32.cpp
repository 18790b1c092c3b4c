// The Windows backend: most operations are the one kernel32 or user32 call
// that the installer was written against, with its result passed back as
// is. The copy and the attribute change work through handles instead, so
// that no name in Levels, which other users may write to, can turn them
// against a file elsewhere.
#define WIN32_LEAN_AND_MEAN
#define _CRT_RAND_S
#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"
#include "platform/temporary_name.h"
#include "platform/win32_identity.h"

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

namespace {

// Closes its handle when it goes out of scope.
struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

bool Fail(PlatformFailure* failure, DWORD code) {
  *failure = {kFailureSystem, code};
  return false;
}

// A file that has no other name and is no link: changing it changes
// nothing outside the directory it is in.
bool IsPlainFile(const BY_HANDLE_FILE_INFORMATION& info) {
  return info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// Why source (open, described by from) may not be copied onto target, or 0:
// target is the source itself under another name (as CopyFileA refuses
// it), or a directory. A link in the target's place is looked at, not
// followed: the copy replaces it as a name.
DWORD TargetProblem(const char* target, const BY_HANDLE_FILE_INFORMATION& from) {
  Handle file{CreateFileA(target, FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                          nullptr)};
  BY_HANDLE_FILE_INFORMATION info;
  if (file.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.h, &info)) return 0;
  if (Win32SameFile(info, from)) return ERROR_SHARING_VIOLATION;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
      FILE_ATTRIBUTE_DIRECTORY) {
    return ERROR_ACCESS_DENIED;
  }
  return 0;
}

// Whether the file was made by the user this program runs as: its owner is
// the user, or the owner that the user's new files get (for an elevated
// administrator, the Administrators group).
bool MadeByThisUser(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  Win32TokenSid user, newFiles;
  PSID sid = Win32CurrentUser(&user);
  bool made = sid != nullptr && EqualSid(owner, sid);
  if (!made) {
    sid = Win32NewFilesOwner(&newFiles);
    made = sid != nullptr && EqualSid(owner, sid);
  }
  LocalFree(descriptor);
  return made;
}

void Delete(HANDLE file) {
  FILE_DISPOSITION_INFO dispose = {TRUE};
  SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
}

// Clears away the temporary files that copies killed on their way left in
// directory (which ends in a separator): only this user's own, only those
// nobody has open (a copy under way holds its file open to nobody else),
// and only plain files.
void ClearLeftovers(const char* directory) {
  char path[MAX_PATH];
  int length = snprintf(path, sizeof path, "%s%s*%s", directory, kTemporaryPrefix, kTemporarySuffix);
  if (length < 0 || length >= static_cast<int>(sizeof path)) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    length = snprintf(path, sizeof path, "%s%s", directory, found.cFileName);
    if (!IsTemporaryName(found.cFileName) || length < 0 || length >= static_cast<int>(sizeof path)) {
      continue;
    }
    Handle file{CreateFileA(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    BY_HANDLE_FILE_INFORMATION info;
    if (file.h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file.h, &info) &&
        IsPlainFile(info) && MadeByThisUser(file.h)) {
      Delete(file.h);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// A new file of our own in directory, under a name nobody can guess or take
// first, open to nobody else; its path in path.
HANDLE CreateTemporary(const char* directory, char* path, size_t size, PlatformFailure* failure) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned int high = 0;
    unsigned int low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) {
      high = GetCurrentProcessId();
      low = GetTickCount() ^ static_cast<unsigned>(attempt);
    }
    char name[kTemporaryNameLength + 1];
    MakeTemporaryName(static_cast<uint64_t>(high) << 32 | low, name);
    int length = snprintf(path, size, "%s%s", directory, name);
    if (length < 0 || static_cast<size_t>(length) >= size) {
      Fail(failure, ERROR_FILENAME_EXCED_RANGE);
      return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      Fail(failure, error);
      return INVALID_HANDLE_VALUE;
    }
  }
  Fail(failure, ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

bool CopyContents(HANDLE in, HANDLE out) {
  static char buffer[1 << 20];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) return true;
    for (DWORD done = 0; done < got;) {
      DWORD put = 0;
      if (!WriteFile(out, buffer + done, got - done, &put, nullptr)) return false;
      done += put;
    }
  }
}

// Gives the open file the name target (a full path), replacing whatever
// file had it as a name: a link there is replaced, never written through.
bool RenameOver(HANDLE file, const wchar_t* target) {
  union {
    FILE_RENAME_INFO info;
    BYTE bytes[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)];
  } rename = {};
  size_t length = wcslen(target);
  rename.info.FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
  memcpy(rename.info.FileName, target, (length + 1) * sizeof(wchar_t));
  // Windows 10 1809 and later replace a read-only name without its
  // attribute being changed first (a hard link's attribute is the other
  // file's as well). Elsewhere the plain rename, which needs the old copy
  // made writable (PlatformSetNormalAttributes).
  constexpr DWORD kReplaceIfExists = 0x1;
  constexpr DWORD kIgnoreReadOnlyAttribute = 0x40;
  constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  rename.info.Flags = kReplaceIfExists | kIgnoreReadOnlyAttribute;
  if (SetFileInformationByHandle(file, kFileRenameInfoEx, &rename, sizeof rename)) return true;
  rename.info.Flags = 0;
  rename.info.ReplaceIfExists = TRUE;
  return SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename);
}

}  // namespace

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

bool PlatformGameLockHeld(const char* name) {
  HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size, uint32_t* code) {
  // A path cut to fit gives size; Windows before Vista leaves it without a
  // terminator then.
  DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  if (length == 0) *code = GetLastError();
  if (length >= size && size != 0) buffer[size - 1] = '\0';
  return length;
}

bool PlatformRelativePathsUsable() { return true; }

bool PlatformFileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool PlatformNamesIgnoreCase() { return true; }

void PlatformCreateDirectory(const char* path) { CreateDirectoryA(path, nullptr); }

void PlatformSetNormalAttributes(const char* path) {
  // Through a handle to the name itself, and only for a file with no other
  // name: by name, a link planted in Levels would hand the change to a file
  // elsewhere.
  Handle file{CreateFileA(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  BY_HANDLE_FILE_INFORMATION info;
  if (file.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.h, &info) ||
      !IsPlainFile(info)) {
    return;
  }
  FILE_BASIC_INFO basic = {};  // times of zero stay as they are
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(file.h, FileBasicInfo, &basic, sizeof basic);
}

bool PlatformCopyFile(const char* source, const char* target, PlatformFailure* failure) {
  Handle in{CreateFileA(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
  BY_HANDLE_FILE_INFORMATION from;
  if (in.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(in.h, &from)) {
    return Fail(failure, GetLastError());
  }
  if (DWORD problem = TargetProblem(target, from)) return Fail(failure, problem);

  // The copy is written to a file of its own beside the target and renamed
  // over it only when it is whole and on disk: the target is either the old
  // file or the new one. A copy killed on the way leaves its temporary file,
  // which the next install into this directory clears away.
  char directory[MAX_PATH];
  char* name = nullptr;
  DWORD length = GetFullPathNameA(target, sizeof directory, directory, &name);
  if (length == 0) return Fail(failure, GetLastError());
  if (length >= sizeof directory || !name) return Fail(failure, ERROR_FILENAME_EXCED_RANGE);
  wchar_t fullTarget[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, directory, -1, fullTarget, MAX_PATH) == 0) {
    return Fail(failure, GetLastError());
  }
  *name = '\0';
  ClearLeftovers(directory);

  char temporary[MAX_PATH];
  Handle out{CreateTemporary(directory, temporary, sizeof temporary, failure)};
  if (out.h == INVALID_HANDLE_VALUE) return false;
  if (CopyContents(in.h, out.h) && SetFileTime(out.h, nullptr, nullptr, &from.ftLastWriteTime) &&
      FlushFileBuffers(out.h) && RenameOver(out.h, fullTarget)) {
    return true;
  }
  Fail(failure, GetLastError());
  Delete(out.h);
  return false;
}

char* PlatformGetErrorText(uint32_t code) {
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
