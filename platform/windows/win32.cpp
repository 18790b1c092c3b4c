// The Windows backend: most operations are one kernel32 or user32 call,
// with its result passed back as is. The command line is read as the
// system keeps it, in UTF-16, and no character is ever changed into
// another. The copy and the attribute change
// work through handles instead of names: Levels is opened as itself, never
// through a link in its place, and every file in it is created, renamed,
// changed and cleared relative to that open folder (ntdll's root-directory
// opens), so that no name in Levels, which other users may write to, and no
// link they make, can turn them against a file elsewhere.
#define WIN32_LEAN_AND_MEAN
#define _CRT_RAND_S
#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"
#include "bytes/ascii.h"
#include "bytes/temporary_name.h"
#include "platform/windows/win32_identity.h"

// Not declared by winternl.h; exported by every ntdll.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK status,
                                               PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS informationClass,
                                               BOOLEAN singleEntry, PUNICODE_STRING fileName,
                                               BOOLEAN restartScan);

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

// ERROR_STOPPED_ON_SYMLINK, which mingw's headers lack: "The create
// operation stopped after reaching a symbolic link."
constexpr DWORD kErrorStoppedOnLink = 681;

bool Fail(PlatformFailure* failure, DWORD code) {
  *failure = {kFailureSystem, code};
  return false;
}

// --- The command line ------------------------------------------------------------
//
// The longest command line Windows keeps is 32767 UTF-16 units; none takes
// more than 3 bytes in any ANSI code page, UTF-8 included. A character
// that has no exact form in the code page becomes "?" and is marked, so
// that no name that holds it is ever found: the system's own conversion
// would have changed it into another character ("／" into "/"), and the
// name into another name.
constexpr size_t kCommandLineUnits = 32767;
char commandLine[kCommandLineUnits * 3 + 1];
bool inexact[kCommandLineUnits * 3 + 1];

// --- Names -------------------------------------------------------------------------

// Wide paths are built in buffers of this many characters.
constexpr DWORD kWideSize = 1024;

// text, an 8-bit string in the ANSI code page, in UTF-16; false, with
// *error set, when it does not convert exactly or does not fit.
bool ToWide(const char* text, wchar_t* out, DWORD size, DWORD* error) {
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, out, static_cast<int>(size)) == 0) {
    DWORD code = GetLastError();
    *error = code == ERROR_INSUFFICIENT_BUFFER ? ERROR_FILENAME_EXCED_RANGE : code;
    return false;
  }
  return true;
}

// Whether reached is base, a separator and name.
bool ReachedAs(const wchar_t* reached, const wchar_t* base, const wchar_t* name) {
  wchar_t expected[kWideSize];
  int length = _snwprintf(expected, kWideSize, L"%ls\\%ls", base, name);
  return length > 0 && length < static_cast<int>(kWideSize) && Win32SameName(reached, expected);
}

// What the name leads to, through any link.
HANDLE OpenFollowing(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// name, opened or created relative to the open folder; INVALID_HANDLE_VALUE
// with *error set when it cannot be.
HANDLE OpenIn(HANDLE folder, const wchar_t* name, ACCESS_MASK access, ULONG share, ULONG disposition,
              ULONG options, DWORD* error) {
  UNICODE_STRING text;
  size_t bytes = wcslen(name) * sizeof(wchar_t);
  text.Length = static_cast<USHORT>(bytes);
  text.MaximumLength = static_cast<USHORT>(bytes + sizeof(wchar_t));
  text.Buffer = const_cast<wchar_t*>(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status;
  HANDLE file = INVALID_HANDLE_VALUE;
  NTSTATUS result = NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &status, nullptr,
                                 FILE_ATTRIBUTE_NORMAL, share, disposition,
                                 options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT,
                                 nullptr, 0);
  if (!NT_SUCCESS(result)) {
    *error = RtlNtStatusToDosError(result);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// A file that has no other name and is no link: changing it changes
// nothing outside the directory it is in.
bool IsPlainFile(const BY_HANDLE_FILE_INFORMATION& info) {
  return info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// --- Owners ----------------------------------------------------------------------

// The owner of what the handle opened, in memory of its own.
struct Owner {
  PSID sid = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  explicit Owner(HANDLE handle) {
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &sid, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
      sid = nullptr;
    }
  }
  ~Owner() {
    if (descriptor) LocalFree(descriptor);
  }
};

// Whether the file was made by the user this program runs as: its owner is
// the user, or the owner that the user's new files get (for an elevated
// administrator, the Administrators group).
bool MadeByThisUser(HANDLE file) {
  Owner owner(file);
  if (!owner.sid) return false;
  Win32TokenSid user, newFiles;
  PSID sid = Win32CurrentUser(&user);
  if (sid != nullptr && EqualSid(owner.sid, sid)) return true;
  sid = Win32NewFilesOwner(&newFiles);
  return sid != nullptr && EqualSid(owner.sid, sid);
}

// --- The source ----------------------------------------------------------------------

// How many characters of path name its root: "C:\", "\\server\share\"; 0
// for any other form.
size_t RootLength(const wchar_t* path) {
  if (iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?' || path[2] == L'.') return 0;
  const wchar_t* server = wcschr(path + 2, L'\\');
  const wchar_t* share = server ? wcschr(server + 1, L'\\') : nullptr;
  if (!server || server == path + 2 || !share || share == server + 1) return 0;
  return static_cast<size_t>(share - path) + 1;
}

// Whether the file open as in, reached after every link, is named as a
// level set itself: what is published is what the player meant, whatever
// name led to it.
bool ReachedAsLevelSet(HANDLE in) {
  wchar_t reached[kWideSize];
  const wchar_t* name = reached;
  alignas(FILE_NAME_INFO) BYTE buffer[sizeof(FILE_NAME_INFO) + kWideSize * sizeof(wchar_t)];
  if (!Win32ReachedName(in, reached, kWideSize)) {
    // On a volume without a drive, the name within the volume.
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
    if (!GetFileInformationByHandleEx(in, FileNameInfo, info, sizeof buffer - sizeof(wchar_t))) return false;
    info->FileName[info->FileNameLength / sizeof(wchar_t)] = L'\0';
    name = info->FileName;
  }
  const wchar_t* last = wcsrchr(name, L'\\');
  return NamedAsLevelSet(last ? last + 1 : name);
}

// Why the source, open as in and described by from, may not be installed,
// or 0: the name it was reached under must be the name asked for (on this
// computer, not over the network), or every
// link met on the way must be the player's, Administrators', SYSTEM's,
// TrustedInstaller's, or lead to something that belongs to the link's own
// owner. Otherwise a junction of another user's, anywhere in the path,
// could stand for a folder of the player's that they may not read, and have
// the player publish a private file in the shared Levels. A link that the
// system follows even when asked to open it as itself (Wine's links to Unix
// folders) shows no owner of its own and counts as another user's.
DWORD SourceProblem(HANDLE in, const wchar_t* source, const BY_HANDLE_FILE_INFORMATION& from,
                    bool* foreign) {
  *foreign = false;
  wchar_t full[kWideSize], asked[kWideSize], reached[kWideSize];
  DWORD length = GetFullPathNameW(source, kWideSize, full, nullptr);
  if (length == 0) return GetLastError();
  if (length >= kWideSize) return ERROR_FILENAME_EXCED_RANGE;
  // Long names, and no "\\?\" in front, as the reached name comes.
  length = GetLongPathNameW(full, asked, kWideSize);
  if (length == 0 || length >= kWideSize) wcscpy(asked, full);
  Win32PlainName(asked);
  // Over the network the server follows its own junctions, and the name it
  // gives back shows none of them: such a name is always walked, and so
  // is one whose final name the system cannot give.
  bool named = Win32ReachedName(in, reached, kWideSize);
  bool network = asked[0] == L'\\' || (named && reached[0] == L'\\');
  if (named && !network && Win32SameName(reached, asked)) return 0;

  // Reached under another name: walk the path one name at a time, each
  // opened as itself, to find the links on the way. Where the system gives
  // no final name, the links are still seen as what they are (a name opened
  // as itself), and only the check for links the system follows regardless
  // (Wine's) is left out.
  size_t root = RootLength(asked);
  if (root == 0) return ERROR_BAD_PATHNAME;
  wchar_t prefix[kWideSize], base[kWideSize];
  wcsncpy(prefix, asked, root);
  prefix[root] = L'\0';
  // A drive substituted or mapped by the player stands for its folder.
  Win32Handle top{OpenFollowing(prefix, FILE_READ_ATTRIBUTES)};
  if (top.h == INVALID_HANDLE_VALUE) return GetLastError();
  named = Win32ReachedName(top.h, base, kWideSize);
  BY_HANDLE_FILE_INFORMATION last = {};
  for (size_t end = root; asked[end] != L'\0';) {
    size_t start = end;
    while (asked[end] != L'\0' && asked[end] != L'\\') ++end;
    wchar_t name[kWideSize];
    wcsncpy(name, asked + start, end - start);
    name[end - start] = L'\0';
    wcsncpy(prefix, asked, end);
    prefix[end] = L'\0';
    if (asked[end] == L'\\') ++end;
    if (name[0] == L'\0') continue;

    Win32Handle itself{Win32OpenItself(prefix, FILE_READ_ATTRIBUTES | READ_CONTROL)};
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (itself.h == INVALID_HANDLE_VALUE ||
        !GetFileInformationByHandleEx(itself.h, FileAttributeTagInfo, &tag, sizeof tag)) {
      return GetLastError();
    }
    HANDLE now = itself.h;
    Win32Handle followed{INVALID_HANDLE_VALUE};
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag)) {
      followed.h = OpenFollowing(prefix, FILE_READ_ATTRIBUTES | READ_CONTROL);
      if (followed.h == INVALID_HANDLE_VALUE) return GetLastError();
      Owner link(itself.h);
      Owner target(followed.h);
      if (!link.sid || (!Win32TrustedAccount(link.sid) && (!target.sid || !EqualSid(link.sid, target.sid)))) {
        *foreign = true;
        return kErrorStoppedOnLink;
      }
      now = followed.h;
    } else if (named) {
      wchar_t here[kWideSize];
      if (!Win32ReachedName(itself.h, here, kWideSize)) return GetLastError();
      if (!ReachedAs(here, base, name)) {
        *foreign = true;
        return kErrorStoppedOnLink;
      }
    }
    if (!GetFileInformationByHandle(now, &last)) return GetLastError();
    named = named && Win32ReachedName(now, base, kWideSize);
  }
  // The walk must have come to the very file that was opened.
  return Win32SameFile(last, from) ? 0 : ERROR_FILE_NOT_FOUND;
}

// --- Levels ------------------------------------------------------------------------------

// The folder that holds path's last name, opened as itself and checked to
// be a folder reached under its own name below the folder above it: a
// link in its place (a junction, a symbolic link) is refused, never
// followed. Its last name goes into name. INVALID_HANDLE_VALUE with *error
// set otherwise.
HANDLE OpenFolderOf(const char* path, wchar_t* name, DWORD nameSize, DWORD* error) {
  wchar_t wide[kWideSize], full[kWideSize], folder[kWideSize];
  wchar_t* file = nullptr;
  if (!ToWide(path, wide, kWideSize, error)) return INVALID_HANDLE_VALUE;
  DWORD length = GetFullPathNameW(wide, kWideSize, full, &file);
  if (length == 0 || length >= kWideSize || !file || wcslen(file) >= nameSize) {
    *error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    return INVALID_HANDLE_VALUE;
  }
  wcscpy(name, file);
  *file = L'\0';
  length = GetLongPathNameW(full, folder, kWideSize);
  if (length == 0 || length >= kWideSize) wcscpy(folder, full);
  length = static_cast<DWORD>(wcslen(folder));
  if (length > 3 && folder[length - 1] == L'\\') folder[--length] = L'\0';

  Win32Handle handle{Win32OpenItself(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE)};
  if (handle.h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return INVALID_HANDLE_VALUE;
  }
  FILE_ATTRIBUTE_TAG_INFO tag;
  DWORD problem = 0;
  if (!GetFileInformationByHandleEx(handle.h, FileAttributeTagInfo, &tag, sizeof tag)) {
    problem = GetLastError();
  } else if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    problem = kErrorStoppedOnLink;
  } else if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    problem = ERROR_DIRECTORY;
  } else if (wchar_t* slash = wcsrchr(folder, L'\\'); slash && slash[1] != L'\0') {
    // Where the system follows a link even when asked not to, the folder
    // shows up under the name of what it leads to.
    wchar_t above[kWideSize], reachedAbove[kWideSize], reached[kWideSize];
    size_t aboveLength = static_cast<size_t>(slash - folder) + (slash - folder == 2 ? 1 : 0);
    wcsncpy(above, folder, aboveLength);
    above[aboveLength] = L'\0';
    Win32Handle parent{OpenFollowing(above, FILE_READ_ATTRIBUTES)};
    if (parent.h == INVALID_HANDLE_VALUE || !Win32ReachedName(parent.h, reachedAbove, kWideSize) ||
        !Win32ReachedName(handle.h, reached, kWideSize)) {
      problem = GetLastError();
      if (problem == 0) problem = ERROR_PATH_NOT_FOUND;
    } else if (!ReachedAs(reached, reachedAbove, slash + 1)) {
      problem = kErrorStoppedOnLink;
    }
  }
  if (problem != 0) {
    *error = problem;
    return INVALID_HANDLE_VALUE;
  }
  return handle.Release();
}

// Why source (described by from) may not be copied onto name in the open
// folder, or 0: name is the source itself under another name (as CopyFileA
// refuses it), or a directory. A link in the target's place is looked at,
// not followed: the copy replaces it as a name.
DWORD TargetProblem(HANDLE folder, const wchar_t* name, const BY_HANDLE_FILE_INFORMATION& from) {
  DWORD error = 0;
  Win32Handle file{OpenIn(folder, name, FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, &error)};
  BY_HANDLE_FILE_INFORMATION info;
  if (file.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.h, &info)) return 0;
  if (Win32SameFile(info, from)) return ERROR_SHARING_VIOLATION;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
      FILE_ATTRIBUTE_DIRECTORY) {
    return ERROR_ACCESS_DENIED;
  }
  return 0;
}

void Delete(HANDLE file) {
  FILE_DISPOSITION_INFO dispose = {TRUE};
  SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
}

// Clears away the temporary files that copies killed on their way left in
// the open folder: only this user's own, only those nobody has open (a copy
// under way holds its file open to nobody else), and only plain files. At
// most kLeftoverEntriesRead names are looked at.
void ClearLeftovers(HANDLE folder) {
  // The temporary name's prefix, "*" and its suffix.
  wchar_t pattern[sizeof kTemporaryPrefix + sizeof kTemporarySuffix];
  size_t length = 0;
  for (const char* p = kTemporaryPrefix; *p != '\0'; ++p) pattern[length++] = static_cast<unsigned char>(*p);
  pattern[length++] = L'*';
  for (const char* p = kTemporarySuffix; *p != '\0'; ++p) pattern[length++] = static_cast<unsigned char>(*p);
  pattern[length] = L'\0';
  UNICODE_STRING mask = {static_cast<USHORT>(length * sizeof(wchar_t)),
                         static_cast<USHORT>((length + 1) * sizeof(wchar_t)), pattern};
  alignas(8) BYTE buffer[4096];
  IO_STATUS_BLOCK status;
  unsigned looked = 0;
  for (bool first = true;; first = false) {
    if (!NT_SUCCESS(NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &status, buffer, sizeof buffer,
                                         FileNamesInformation, FALSE, first ? &mask : nullptr, first))) {
      return;
    }
    for (BYTE* entry = buffer;;) {
      if (++looked > kLeftoverEntriesRead) return;
      auto* found = reinterpret_cast<FILE_NAMES_INFORMATION*>(entry);
      size_t characters = found->FileNameLength / sizeof(wchar_t);
      char narrow[kTemporaryNameLength + 1];
      bool ascii = characters == kTemporaryNameLength;
      for (size_t i = 0; ascii && i < characters; ++i) {
        ascii = found->FileName[i] < 0x80;
        narrow[i] = static_cast<char>(found->FileName[i]);
      }
      if (ascii) {
        narrow[characters] = '\0';
        wchar_t name[kTemporaryNameLength + 1];
        wmemcpy(name, found->FileName, characters);
        name[characters] = L'\0';
        DWORD error = 0;
        Win32Handle file{IsTemporaryName(narrow)
                        ? OpenIn(folder, name, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0, FILE_OPEN,
                                 FILE_NON_DIRECTORY_FILE, &error)
                        : INVALID_HANDLE_VALUE};
        BY_HANDLE_FILE_INFORMATION info;
        if (file.h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file.h, &info) &&
            IsPlainFile(info) && MadeByThisUser(file.h)) {
          Delete(file.h);
        }
      }
      if (found->NextEntryOffset == 0) break;
      entry += found->NextEntryOffset;
    }
  }
}

// A new file of our own in the open folder, under a name nobody can guess
// or take first, open to nobody else.
HANDLE CreateTemporary(HANDLE folder, PlatformFailure* failure) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned int high = 0;
    unsigned int low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) {
      high = GetCurrentProcessId();
      low = GetTickCount() ^ static_cast<unsigned>(attempt);
    }
    char narrow[kTemporaryNameLength + 1];
    MakeTemporaryName(static_cast<uint64_t>(high) << 32 | low, narrow);
    wchar_t name[kTemporaryNameLength + 1];
    for (size_t i = 0; i <= kTemporaryNameLength; ++i) name[i] = static_cast<unsigned char>(narrow[i]);
    DWORD error = 0;
    HANDLE file = OpenIn(folder, name, GENERIC_WRITE | DELETE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE, &error);
    if (file != INVALID_HANDLE_VALUE) return file;
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

// Gives the open file the name name in the open folder, replacing whatever
// file had it as a name: a link there is replaced, never written through.
// False with the last error set otherwise.
bool RenameOver(HANDLE file, HANDLE folder, const wchar_t* name) {
  union {
    FILE_RENAME_INFO info;
    BYTE bytes[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)];
  } rename = {};
  size_t length = wcslen(name);
  if (length >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  rename.info.RootDirectory = folder;
  rename.info.FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
  memcpy(rename.info.FileName, name, (length + 1) * sizeof(wchar_t));
  // Windows 10 1809 and later replace a read-only name without its
  // attribute being changed first (a hard link's attribute is the other
  // file's as well). Elsewhere the plain rename, which needs the old copy
  // made writable (PlatformSetNormalAttributes).
  constexpr ULONG kReplaceIfExists = 0x1;
  constexpr ULONG kIgnoreReadOnlyAttribute = 0x40;
  constexpr auto kFileRenameInformationEx = static_cast<FILE_INFORMATION_CLASS>(65);
  IO_STATUS_BLOCK status;
  rename.info.Flags = kReplaceIfExists | kIgnoreReadOnlyAttribute;
  if (NT_SUCCESS(NtSetInformationFile(file, &status, &rename, sizeof rename, kFileRenameInformationEx))) {
    return true;
  }
  rename.info.Flags = 0;
  rename.info.ReplaceIfExists = TRUE;
  NTSTATUS result = NtSetInformationFile(file, &status, &rename, sizeof rename, FileRenameInformation);
  if (NT_SUCCESS(result)) return true;
  SetLastError(RtlNtStatusToDosError(result));
  return false;
}

}  // namespace

PlatformCommandLine PlatformGetCommandLine() {
  static bool converted = false;
  if (converted) return {commandLine, inexact};
  converted = true;
  const wchar_t* wide = GetCommandLineW();
  UINT codePage = GetACP();
  bool utf8 = codePage == CP_UTF8;
  size_t out = 0;
  for (size_t i = 0; i < kCommandLineUnits && wide[i] != L'\0';) {
    int units = IS_HIGH_SURROGATE(wide[i]) && IS_LOW_SURROGATE(wide[i + 1]) ? 2 : 1;
    BOOL usedDefault = FALSE;
    int made = WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide + i,
                                   units, commandLine + out, static_cast<int>(sizeof commandLine - 1 - out),
                                   nullptr, utf8 ? nullptr : &usedDefault);
    if (made <= 0 || usedDefault) {
      commandLine[out] = '?';
      inexact[out] = true;
      made = 1;
    }
    out += static_cast<size_t>(made);
    i += static_cast<size_t>(units);
  }
  commandLine[out] = '\0';
  return {commandLine, inexact};
}

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
  Win32Handle mutex{OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name)};
  return mutex.h != nullptr;
}

uint32_t PlatformGetProgramPath(char* buffer, uint32_t size, uint32_t* code) {
  // A path cut to fit gives size; Windows before Vista leaves it without a
  // terminator then.
  DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  if (length == 0) *code = GetLastError();
  if (length >= size && size != 0) buffer[size - 1] = '\0';
  return length;
}

bool PlatformRelativePathsUsable() { return true; }

bool PlatformFileOrFolderExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool PlatformNamesIgnoreCase() { return true; }

void PlatformCreateDirectory(const char* path) { CreateDirectoryA(path, nullptr); }

void PlatformSetNormalAttributes(const char* path) {
  // Through a handle to the name itself, opened in its folder (itself no
  // link), and only for a file with no other name: by name, a link planted
  // in Levels, or Levels made a link, would hand the change to a file
  // elsewhere.
  wchar_t name[MAX_PATH];
  DWORD error = 0;
  Win32Handle folder{OpenFolderOf(path, name, MAX_PATH, &error)};
  if (folder.h == INVALID_HANDLE_VALUE) return;
  Win32Handle file{OpenIn(folder.h, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE,
                     &error)};
  BY_HANDLE_FILE_INFORMATION info;
  if (file.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.h, &info) || !IsPlainFile(info)) {
    return;
  }
  FILE_BASIC_INFO basic = {};  // times of zero stay as they are
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(file.h, FileBasicInfo, &basic, sizeof basic);
}

bool PlatformCopyFile(const char* source, const char* target, PlatformFailure* failure) {
  wchar_t sourceWide[kWideSize];
  DWORD error = 0;
  if (!ToWide(source, sourceWide, kWideSize, &error)) return Fail(failure, error);
  Win32Handle in{CreateFileW(sourceWide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
  BY_HANDLE_FILE_INFORMATION from;
  if (in.h != INVALID_HANDLE_VALUE && GetFileType(in.h) != FILE_TYPE_DISK) {
    *failure = {kFailureNotRegularFile, 0};
    return false;
  }
  if (in.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(in.h, &from)) {
    return Fail(failure, GetLastError());
  }
  if (!ReachedAsLevelSet(in.h)) {
    *failure = {kFailureNotLevelSet, 0};
    return false;
  }
  bool foreign = false;
  if (DWORD problem = SourceProblem(in.h, sourceWide, from, &foreign)) {
    if (!foreign) return Fail(failure, problem);
    *failure = {kFailureForeignLink, 0};
    return false;
  }

  // The copy is written to a file of its own beside the target and renamed
  // over it only when it is whole and on disk: the target is either the old
  // file or the new one. A copy killed on the way leaves its temporary file,
  // which the next install into this directory clears away. Everything
  // happens relative to the target's folder, opened once: whatever its name
  // leads to a moment later plays no part.
  wchar_t name[MAX_PATH];
  Win32Handle folder{OpenFolderOf(target, name, MAX_PATH, &error)};
  if (folder.h == INVALID_HANDLE_VALUE) return Fail(failure, error);
  if (DWORD problem = TargetProblem(folder.h, name, from)) return Fail(failure, problem);
  ClearLeftovers(folder.h);

  Win32Handle out{CreateTemporary(folder.h, failure)};
  if (out.h == INVALID_HANDLE_VALUE) return false;
  if (CopyContents(in.h, out.h) && SetFileTime(out.h, nullptr, nullptr, &from.ftLastWriteTime) &&
      FlushFileBuffers(out.h) && RenameOver(out.h, folder.h, name)) {
    return true;
  }
  Fail(failure, GetLastError());
  Delete(out.h);
  return false;
}

char* PlatformGetErrorText(uint32_t code) {
  wchar_t wide[2048];
  if (Win32ErrorText(code, wide, 2048, kWin32KeepLineEnd) == 0) return nullptr;
  int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  char* text = size > 0 ? static_cast<char*>(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(size))) : nullptr;
  if (text && WideCharToMultiByte(CP_ACP, 0, wide, -1, text, size, nullptr, nullptr) == size) return text;
  if (text) LocalFree(text);
  return nullptr;
}

void PlatformFreeErrorText(char* text) { LocalFree(text); }

uint32_t PlatformNameTooLongError() { return ERROR_FILENAME_EXCED_RANGE; }

int PlatformMessageBox(const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(nullptr, text, caption, style);
}
