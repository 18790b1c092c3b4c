// The setup's helper's dealings with the system (setup/windows/system.h).
// Folders are looked at and changed through handles opened on the name
// itself (FILE_FLAG_OPEN_REPARSE_POINT), so a junction or symbolic link is
// seen as what it is and never followed.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winternl.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/windows/win32_identity.h"
#include "setup/windows/system.h"

static_assert(kRightsThatCountAbove == (DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER), "above");
static_assert(kRightsThatCountInFolder == (kRightsThatCountAbove | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY |
                                           FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES), "folder");

namespace {

// The longest folder name the setup works with (NSIS's own limit).
constexpr uint32_t kPathSize = 1024;

// The system's text for an error code, without its line end.
void ErrorText(DWORD code, wchar_t* out, uint32_t size) {
  if (Win32ErrorText(code, out, size, kWin32DropLineEnd) == 0) {
    _snwprintf(out, size, L"error %lu", code);
    out[size - 1] = L'\0';
  }
}

// A name without its "\\?\" (which asks Windows to take the rest as it is).
const wchar_t* Plain(const wchar_t* name) { return wcsncmp(name, L"\\\\?\\", 4) == 0 ? name + 4 : name; }

// --- Who may change a folder ------------------------------------------------------

bool SidText(PSID sid, char* out, uint32_t size) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return false;
  bool fits = strlen(text) < size;
  if (fits) strcpy(out, text);
  LocalFree(text);
  return fits;
}

// The SID of an allow entry, once it is known to lie inside the entry.
PSID AllowedSid(ACE_HEADER* ace) {
  const size_t offset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
  if (ace->AceSize < offset + 8) return nullptr;
  const unsigned char* sid = reinterpret_cast<const unsigned char*>(ace) + offset;
  if (offset + 8 + 4u * sid[1] > ace->AceSize) return nullptr;
  PSID result = const_cast<unsigned char*>(sid);
  return IsValidSid(result) ? result : nullptr;
}

// --- Folders through handles ---------------------------------------------------------

bool IsFolder(HANDLE handle, bool* isLink) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
  *isLink = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Folder and a name in it (and a suffix), as one name.
bool Join(const wchar_t* folder, const char* name, const char* suffix, wchar_t* out, uint32_t size) {
  size_t length = wcslen(folder);
  const wchar_t* separator = length > 0 && folder[length - 1] == L'\\' ? L"" : L"\\";
  int written = _snwprintf(out, size, L"%ls%ls%hs%hs", folder, separator, name, suffix);
  out[size - 1] = L'\0';
  return written >= 0 && static_cast<uint32_t>(written) < size;
}

bool LevelsOf(const wchar_t* folder, wchar_t* out, uint32_t size) { return Join(folder, SETUP_LEVELS, "", out, size); }

// A security descriptor from its SDDL; LocalFree it.
PSECURITY_DESCRIPTOR Descriptor(const wchar_t* text) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  return ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr)
             ? descriptor
             : nullptr;
}

// Gives what handle is the owner and protected access list of text.
bool SetAccess(HANDLE handle, const wchar_t* text) {
  PSECURITY_DESCRIPTOR descriptor = Descriptor(text);
  if (descriptor == nullptr) return false;
  bool set = SetKernelObjectSecurity(
      handle, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      descriptor);
  DWORD code = GetLastError();
  LocalFree(descriptor);
  SetLastError(code);
  return set;
}

// Whether handle reached path under that very name, in its long form, so
// through no link on the way; reached gets the name it reached (kPathSize).
bool ReachedUnderItsOwnName(HANDLE handle, const wchar_t* path, wchar_t* reached) {
  wchar_t expected[kPathSize];
  DWORD length = GetLongPathNameW(path, expected, kPathSize);
  return length > 0 && length < kPathSize && Win32ReachedName(handle, reached, kPathSize) &&
         Win32SameName(reached, expected);
}

// The file or folder of that name itself, reached under that very name
// (through no link on the way) and no link itself; INVALID_HANDLE_VALUE
// otherwise, with the system's code, or ERROR_BAD_PATHNAME when it is
// reached otherwise or is a link. isFolder says what it is.
HANDLE OpenReachedItself(const wchar_t* path, DWORD access, bool* isFolder) {
  Win32Handle handle{Win32OpenItself(path, access | FILE_READ_ATTRIBUTES)};
  if (handle.h == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  bool isLink = false;
  wchar_t reached[kPathSize];
  *isFolder = IsFolder(handle.h, &isLink);
  if (isLink || !ReachedUnderItsOwnName(handle.h, path, reached)) {
    SetLastError(ERROR_BAD_PATHNAME);
    return INVALID_HANDLE_VALUE;
  }
  return handle.Release();
}

// Removes the folder of that name when it is empty, through a handle on it;
// anything else is left as it is.
void RemoveEmptyFolder(const wchar_t* path) {
  bool isFolder = false;
  Win32Handle handle{OpenReachedItself(path, DELETE, &isFolder)};
  if (handle.h == INVALID_HANDLE_VALUE) return;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (isFolder) SetFileInformationByHandle(handle.h, FileDispositionInfo, &disposition, sizeof disposition);
}

const char* SetupUser();

// The keeper of Levels, opened or made relative to the open folder levels
// (descriptor: its security when made); INVALID_HANDLE_VALUE with the
// system's code otherwise. Whoever else has it open is never in the way:
// every sharing is allowed.
HANDLE OpenKeeper(HANDLE levels, ACCESS_MASK access, ULONG disposition, PSECURITY_DESCRIPTOR descriptor) {
  static const wchar_t kName[] = L"" SETUP_LEVELS_KEEPER;
  UNICODE_STRING name;
  name.Length = sizeof kName - sizeof(wchar_t);
  name.MaximumLength = sizeof kName;
  name.Buffer = const_cast<wchar_t*>(kName);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, levels, descriptor);
  IO_STATUS_BLOCK status;
  HANDLE file = INVALID_HANDLE_VALUE;
  NTSTATUS result = NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
                                 FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT,
                                 nullptr, 0);
  if (!NT_SUCCESS(result)) {
    SetLastError(RtlNtStatusToDosError(result));
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// Whether the keeper opened as file may stay: it has no other name, is no
// link, and belongs to Administrators, or to the administrator running the
// setup (whose own files are theirs where Windows does not give them to
// Administrators).
bool KeeperMayStay(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information) || information.nNumberOfLinks != 1 ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  char text[kSetupSidSize];
  const char* setupUser = SetupUser();
  bool trusted = owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                      (setupUser != nullptr && SidText(owner, text, sizeof text) &&
                                       strcmp(text, setupUser) == 0));
  LocalFree(descriptor);
  return trusted;
}

// Gives the locked levels (only administrators may add to it or delete
// from it now) the file that keeps it from being empty, through handles
// relative to it: one there that may stay (KeeperMayStay) keeps its data
// and gets its access list through a handle that asks for nothing a
// player's open file could refuse; any other there goes through a handle
// of its own; a missing one is made with its access list, and written.
bool MakeKeeper(HANDLE levels) {
  if (Win32Handle found{OpenKeeper(levels, READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES, FILE_OPEN,
                                  nullptr)};
      found.h != INVALID_HANDLE_VALUE) {
    bool stays = KeeperMayStay(found.h);
    bool set = stays && SetAccess(found.h, kLevelsKeeperAccess);
    if (stays) return set;
    Win32Handle file{OpenKeeper(levels, DELETE | FILE_READ_ATTRIBUTES, FILE_OPEN, nullptr)};
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool gone = file.h != INVALID_HANDLE_VALUE &&
                SetFileInformationByHandle(file.h, FileDispositionInfo, &disposition, sizeof disposition);
    if (!gone) return false;
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;
  }
  PSECURITY_DESCRIPTOR descriptor = Descriptor(kLevelsKeeperAccess);
  if (descriptor == nullptr) return false;
  Win32Handle file{OpenKeeper(levels, GENERIC_WRITE, FILE_CREATE, descriptor)};
  DWORD code = GetLastError();
  LocalFree(descriptor);
  if (file.h == INVALID_HANDLE_VALUE) {
    SetLastError(code);
    return false;
  }
  DWORD size = static_cast<DWORD>(strlen(kLevelsKeeperText)), written = 0;
  return WriteFile(file.h, kLevelsKeeperText, size, &written, nullptr) && written == size;
}

const char* SetupUser() {
  static char text[kSetupSidSize];
  if (text[0] != '\0') return text;
  Win32TokenSid buffer;
  PSID user = Win32CurrentUser(&buffer);
  return user != nullptr && SidText(user, text, sizeof text) ? text : nullptr;
}

// The system's name for holder, "DOMAIN\name" (or "" when it has none),
// and whether it names a group.
void HolderName(const char* holder, wchar_t* out, uint32_t size, bool* group) {
  PSID sid = nullptr;
  wchar_t name[256], domain[256];
  DWORD nameLength = 256, domainLength = 256;
  SID_NAME_USE use;
  out[0] = L'\0';
  *group = false;
  if (ConvertStringSidToSidA(holder, &sid) &&
      LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
    _snwprintf(out, size, L"%ls%ls%ls", domain, domain[0] ? L"\\" : L"", name);
    out[size - 1] = L'\0';
    *group = use == SidTypeGroup || use == SidTypeWellKnownGroup || use == SidTypeAlias;
  }
  if (sid) LocalFree(sid);
}

// Who may change a folder on the way, as the refusal names them.
struct Blocked {
  wchar_t folder[kPathSize];
  char holder[kSetupSidSize];
  wchar_t account[520];
  bool group;
  uint32_t rights;
};

// One folder of the way: there, a folder and no link, and (with
// rightsThatCount) nobody outside the trusted holds a right that counts on
// it: SETUP_HELPER_OTHERS_MAY_CHANGE when someone does, and blocked says who.
int CheckOneFolder(const wchar_t* path, bool chosen, uint32_t rightsThatCount, uint32_t rightsOnFiles,
                   Blocked* blocked, wchar_t* report, uint32_t size) {
  const bool judged = rightsThatCount != 0 || rightsOnFiles != 0;
  Win32Handle folder{Win32OpenItself(path, (judged ? READ_CONTROL : 0) | FILE_READ_ATTRIBUTES)};
  if (folder.h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (chosen && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)) {
      SetupSay(kSayFolderMissing, path, nullptr, report, size);
      return SETUP_HELPER_REFUSED;
    }
    wchar_t error[256];
    ErrorText(code, error, 256);
    SetupSay(kSayCannotRead, path, error, report, size);
    return SETUP_HELPER_REFUSED;
  }
  bool isLink = false;
  bool isFolder = IsFolder(folder.h, &isLink);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD read = judged && isFolder && !isLink
                   ? GetSecurityInfo(folder.h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, nullptr, nullptr, &descriptor)
                   : ERROR_SUCCESS;
  if (isLink) {
    SetupSay(kSayFolderIsLink, path, nullptr, report, size);
    return SETUP_HELPER_REFUSED;
  }
  if (!isFolder) {
    SetupSay(kSayNotAFolder, path, nullptr, report, size);
    return SETUP_HELPER_REFUSED;
  }
  if (read != ERROR_SUCCESS) {
    wchar_t error[256];
    ErrorText(read, error, 256);
    SetupSay(kSayCannotRead, path, error, report, size);
    return SETUP_HELPER_REFUSED;
  }
  if (!judged) return SETUP_HELPER_DONE;
  static SetupSecurity security;
  SetupReadSecurity(descriptor, &security);
  LocalFree(descriptor);
  uint32_t rights = UntrustedFolderRights(&security, rightsThatCount, rightsOnFiles, SetupUser(), blocked->holder,
                                          sizeof blocked->holder);
  if (rights == 0) return SETUP_HELPER_DONE;
  wcsncpy(blocked->folder, path, kPathSize - 1);
  blocked->folder[kPathSize - 1] = L'\0';
  HolderName(blocked->holder, blocked->account, 520, &blocked->group);
  blocked->rights = rights;
  return SETUP_HELPER_OTHERS_MAY_CHANGE;
}

// Levels under a folder, as Setup is about to set it: a folder, no link, and
// reached under the very folder the handle folder reached.
int CheckLevels(const wchar_t* reachedFolder, const wchar_t* levels, HANDLE handle, wchar_t* report,
                uint32_t size) {
  bool isLink = false;
  wchar_t reached[kPathSize], expected[kPathSize];
  if (!IsFolder(handle, &isLink) || isLink || !Win32ReachedName(handle, reached, kPathSize) ||
      !LevelsOf(reachedFolder, expected, kPathSize) || !Win32SameName(reached, expected)) {
    SetupSay(kSayLevelsIsLink, levels, nullptr, report, size);
    return SETUP_HELPER_REFUSED;
  }
  return SETUP_HELPER_DONE;
}

// Sets the access list of folder\Levels through a handle on Levels itself:
// released, or, with forPlayers, released first (locked), then, once nobody
// but administrators may add to it and it is still no link, given the file
// that keeps it from being empty, and only then opened to players. A
// failure once it was locked gives it back the owner and access list it had
// before. With forPlayers a missing Levels is made; without, it is left
// missing.
int SetLevels(const wchar_t* folder, bool forPlayers, wchar_t* report, uint32_t size) {
  wchar_t levels[kPathSize], reachedFolder[kPathSize], error[256];
  PSECURITY_DESCRIPTOR released = Descriptor(kLevelsReleased);
  if (!LevelsOf(folder, levels, kPathSize) || released == nullptr) {
    ErrorText(GetLastError(), error, 256);
    SetupSay(kSayCannotMakeList, folder, error, report, size);
    if (released) LocalFree(released);
    return SETUP_HELPER_REFUSED;
  }
  if (forPlayers) {
    // Made with an access list that lets no player in, or there already:
    // either way set below.
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, released, FALSE};
    CreateDirectoryW(levels, &attributes);
  }
  LocalFree(released);
  int result = SETUP_HELPER_DONE;
  PSECURITY_DESCRIPTOR before = nullptr;
  Win32Handle parent{Win32OpenItself(folder, FILE_READ_ATTRIBUTES)};
  Win32Handle handle{Win32OpenItself(levels, FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC | WRITE_OWNER)};
  if (handle.h == INVALID_HANDLE_VALUE && !forPlayers) {
    result = SETUP_HELPER_DONE;  // no Levels to take entries out of
  } else if (parent.h == INVALID_HANDLE_VALUE || handle.h == INVALID_HANDLE_VALUE ||
             !Win32ReachedName(parent.h, reachedFolder, kPathSize)) {
    ErrorText(GetLastError(), error, 256);
    SetupSay(kSayCannotOpen, levels, error, report, size);
    result = SETUP_HELPER_REFUSED;
  } else if (CheckLevels(reachedFolder, levels, handle.h, report, size) != SETUP_HELPER_DONE) {
    result = forPlayers ? SETUP_HELPER_REFUSED : SETUP_HELPER_DONE;  // a link is never changed
  } else if ((forPlayers && GetSecurityInfo(handle.h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION |
                                                DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                                                &before) != ERROR_SUCCESS) ||
             !SetAccess(handle.h, kLevelsReleased)) {
    ErrorText(GetLastError(), error, 256);
    SetupSay(kSayCannotSetList, levels, error, report, size);
    result = SETUP_HELPER_REFUSED;
  } else if (!forPlayers) {
    result = SETUP_HELPER_DONE;
  } else if (CheckLevels(reachedFolder, levels, handle.h, report, size) != SETUP_HELPER_DONE) {
    result = SETUP_HELPER_REFUSED;  // made a link before its list was set
  } else if (!MakeKeeper(handle.h) || !SetAccess(handle.h, kLevelsForPlayers)) {
    ErrorText(GetLastError(), error, 256);
    SetupSay(kSayCannotSetList, levels, error, report, size);
    result = SETUP_HELPER_REFUSED;
  }
  if (result != SETUP_HELPER_DONE && before != nullptr) {
    // The list on its own first: an owner that this run may not give back
    // (another account's) must not keep the players' list from them.
    SetKernelObjectSecurity(handle.h, DACL_SECURITY_INFORMATION, before);
    SetKernelObjectSecurity(handle.h, OWNER_SECURITY_INFORMATION, before);
  }
  if (before != nullptr) LocalFree(before);
  return result;
}

}  // namespace

void SetupReadSecurity(const void* descriptor, SetupSecurity* security) {
  PSECURITY_DESCRIPTOR given = const_cast<void*>(descriptor);
  security->owner[0] = '\0';
  security->list = kAccessListUnreadable;
  security->count = 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!IsValidSecurityDescriptor(given)) return;
  if (!GetSecurityDescriptorOwner(given, &owner, &defaulted) || owner == nullptr ||
      !SidText(owner, security->owner, sizeof security->owner)) {
    security->owner[0] = '\0';
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(given, &present, &dacl, &defaulted)) return;
  if (!present || dacl == nullptr) {
    security->list = kAccessListAbsent;
    return;
  }
  if (!IsValidAcl(dacl)) return;
  security->list = kAccessListPresent;
  security->count = dacl->AceCount;
  for (DWORD index = 0; index < dacl->AceCount && index < kSetupMaxEntries; ++index) {
    SetupAccessEntry& entry = security->entries[index];
    ACE_HEADER* ace = nullptr;
    entry.read = GetAce(dacl, index, reinterpret_cast<void**>(&ace));
    entry.holder[0] = '\0';
    if (!entry.read) continue;
    entry.type = ace->AceType;
    entry.flags = ace->AceFlags;
    entry.mask = 0;
    // Allow entries, plain or with a condition, share one layout.
    if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE || ace->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
      entry.mask = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
      PSID granted = AllowedSid(ace);
      if (granted == nullptr || !SidText(granted, entry.holder, sizeof entry.holder)) entry.holder[0] = '\0';
    }
  }
}

int SetupCheckFolder(const wchar_t* folder, SetupMode mode, wchar_t* report, uint32_t reportSize,
                     bool sayJustForMe) {
  report[0] = L'\0';
  wchar_t full[kPathSize];
  DWORD length = GetFullPathNameW(folder, kPathSize, full, nullptr);
  // "\\?\C:\..." names the folder it spells out, as it is: judged and
  // opened under that name.
  const size_t drive = length < kPathSize && Plain(full) != full ? 4 : 0;
  bool onDrive = length >= drive + 3 && length < kPathSize && full[drive + 1] == L':' &&
                 full[drive + 2] == L'\\' &&
                 ((full[drive] >= L'A' && full[drive] <= L'Z') || (full[drive] >= L'a' && full[drive] <= L'z'));
  if (!onDrive) {
    SetupSay(kSayNotOnDrive, folder, nullptr, report, reportSize);
    return SETUP_HELPER_REFUSED;
  }
  const size_t root = drive + 3;
  while (length > root && full[length - 1] == L'\\') full[--length] = L'\0';
  // All users' program on a removable or network drive would open level
  // sets from whatever disk next takes its letter.
  const wchar_t rootName[4] = {full[drive], L':', L'\\', L'\0'};
  if (GetDriveTypeW(rootName) != DRIVE_FIXED) {
    SetupSay(kSayNotFixedDrive, full, nullptr, report, reportSize);
    return SETUP_HELPER_REFUSED;
  }

  // The chosen folder, then every folder above it up to the drive's root;
  // for all users, every one that others may change is named at once.
  constexpr uint32_t kMaxBlocked = 8;
  static Blocked blocked[kMaxBlocked];
  static Blocked found;
  uint32_t blockedCount = 0;
  wchar_t path[kPathSize];
  for (size_t end = length;;) {
    wcsncpy(path, full, end);
    path[end] = L'\0';
    const bool all = mode == kSetupForAllUsers;
    int result = CheckOneFolder(path, end == length, all ? SetupRightsThatCount(end - drive, length - drive) : 0,
                                all ? SetupRightsThatCountOnFiles(end - drive, length - drive) : 0, &found,
                                report, reportSize);
    if (result == SETUP_HELPER_OTHERS_MAY_CHANGE) {
      if (blockedCount < kMaxBlocked) blocked[blockedCount++] = found;  // more are rare: the first are named
    } else if (result != SETUP_HELPER_DONE) {
      return result;
    }
    if (end == root) break;
    size_t slash = end - 1;
    while (slash > root - 1 && full[slash] != L'\\') --slash;
    end = slash == root - 1 ? root : slash;
  }
  if (blockedCount > 0) {
    SetupBlocker blockers[kMaxBlocked];
    for (uint32_t index = 0; index < blockedCount; ++index) {
      blockers[index] = {blocked[index].folder, blocked[index].holder, blocked[index].account, blocked[index].group,
                         blocked[index].rights};
    }
    SetupSayOthersMayChange(blockers, blockedCount, sayJustForMe, report, reportSize);
    return SETUP_HELPER_OTHERS_MAY_CHANGE;
  }

  // No link on the way (the handle reached the folder under its own long
  // name), and Levels, if there, no link either.
  wchar_t reached[kPathSize], levels[kPathSize];
  Win32Handle chosen{Win32OpenItself(full, FILE_READ_ATTRIBUTES)};
  bool direct = chosen.h != INVALID_HANDLE_VALUE && ReachedUnderItsOwnName(chosen.h, full, reached);
  if (!direct) {
    SetupSay(kSayReachedByLink, full, nullptr, report, reportSize);
    return SETUP_HELPER_REFUSED;
  }
  if (!LevelsOf(full, levels, kPathSize)) {
    SetupSay(kSayNameTooLong, full, nullptr, report, reportSize);
    return SETUP_HELPER_REFUSED;
  }
  Win32Handle handle{Win32OpenItself(levels, FILE_READ_ATTRIBUTES)};
  if (handle.h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return SETUP_HELPER_DONE;  // Setup makes it
    SetupSay(kSayLevelsUnseen, levels, nullptr, report, reportSize);
    return SETUP_HELPER_REFUSED;
  }
  return CheckLevels(reached, levels, handle.h, report, reportSize);
}

int SetupSecureLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize) {
  report[0] = L'\0';
  return SetLevels(folder, true, report, reportSize);
}

int SetupReleaseLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize) {
  report[0] = L'\0';
  return SetLevels(folder, false, report, reportSize);
}

int SetupSecureInstalledFiles(const wchar_t* folder, wchar_t* report, uint32_t reportSize) {
  report[0] = L'\0';
  const char* const installed[] = {SETUP_INSTALLED_FILES};
  for (const char* name : installed) {
    wchar_t file[kPathSize], error[256];
    bool isFolder = false;
    Win32Handle handle{Join(folder, name, SETUP_NEW_SUFFIX, file, kPathSize)
                           ? OpenReachedItself(file, READ_CONTROL | WRITE_DAC | WRITE_OWNER, &isFolder)
                           : INVALID_HANDLE_VALUE};
    bool set = handle.h != INVALID_HANDLE_VALUE && !isFolder && SetAccess(handle.h, kInstalledFileAccess);
    if (!set) ErrorText(isFolder ? ERROR_ACCESS_DENIED : GetLastError(), error, 256);
    if (!set) {
      SetupSay(kSayCannotSetFile, file, error, report, reportSize);
      return SETUP_HELPER_REFUSED;
    }
  }
  return SETUP_HELPER_DONE;
}

int SetupRemoveOldInstallation(const wchar_t* folder, SetupMode mode, wchar_t* report, uint32_t reportSize) {
  static wchar_t why[1024];
  if (SetupCheckFolder(folder, mode, why, 1024) != SETUP_HELPER_DONE) {
    SetupSay(kSayOldFolderLeft, folder, why, report, reportSize);
    return SETUP_HELPER_REFUSED;
  }
  report[0] = L'\0';
  int result = SETUP_HELPER_DONE;
  wchar_t path[kPathSize], levels[kPathSize];
  const char* const installed[] = {SETUP_INSTALLED_FILES};
  for (const char* name : installed) {
    int removed = Join(folder, name, "", path, kPathSize) ? SetupRemoveFile(path, why, 1024) : SETUP_HELPER_REFUSED;
    if (removed != SETUP_HELPER_DONE && result == SETUP_HELPER_DONE) {
      SetupSay(kSayOldFileLeft, path, why, report, reportSize);
      result = removed;
    }
  }
  if (!LevelsOf(folder, levels, kPathSize)) return result;
  // The level sets stay, in a Levels that players no longer add to (just
  // for one user, Levels kept its folder's access list, and stays as it is).
  if (mode == kSetupForAllUsers && SetupReleaseLevels(folder, why, 1024) == SETUP_HELPER_DONE &&
      Join(levels, SETUP_LEVELS_KEEPER, "", path, kPathSize)) {
    SetupRemoveFile(path, why, 1024);
  }
  RemoveEmptyFolder(levels);
  RemoveEmptyFolder(folder);
  return result;
}

int SetupRemoveFile(const wchar_t* file, wchar_t* report, uint32_t reportSize) {
  report[0] = L'\0';
  Win32Handle handle{Win32OpenItself(file, DELETE | FILE_READ_ATTRIBUTES)};
  DWORD code = handle.h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return SETUP_HELPER_DONE;
  int result = SETUP_HELPER_DONE;
  bool isLink = false;
  wchar_t reached[kPathSize];
  if (code != ERROR_SUCCESS) {
    result = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ? SETUP_HELPER_IN_USE : SETUP_HELPER_REFUSED;
  } else if (IsFolder(handle.h, &isLink) || !ReachedUnderItsOwnName(handle.h, file, reached)) {
    SetupSay(kSayLeftAsItIs, file, nullptr, report, reportSize);
    result = SETUP_HELPER_REFUSED;
  } else {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!SetFileInformationByHandle(handle.h, FileDispositionInfo, &disposition, sizeof disposition)) {
      code = GetLastError();
      result = SETUP_HELPER_IN_USE;
    }
  }
  if (result == SETUP_HELPER_IN_USE || (result == SETUP_HELPER_REFUSED && report[0] == L'\0')) {
    wchar_t error[256];
    ErrorText(code, error, 256);
    SetupSay(kSayCannotRemove, file, error, report, reportSize);
  }
  return result;
}

int SetupRemoveWhenEnded(const wchar_t* file, unsigned long processId, wchar_t* report, uint32_t reportSize) {
  if (Win32Handle process{OpenProcess(SYNCHRONIZE, FALSE, processId)}; process.h != nullptr) {
    WaitForSingleObject(process.h, 60 * 1000);
  }
  return SetupRemoveFile(file, report, reportSize);
}

bool SetupSameFolder(const wchar_t* first, const wchar_t* second) {
  BY_HANDLE_FILE_INFORMATION information[2];
  const wchar_t* names[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    Win32Handle handle{CreateFileW(names[i], FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                   FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (handle.h == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(handle.h, &information[i]);
    if (!known || !(information[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  }
  return Win32SameFile(information[0], information[1]);
}

int SetupRunElevated(const wchar_t* program, const wchar_t* parameters, uintptr_t window, wchar_t* report,
                     uint32_t reportSize) {
  report[0] = L'\0';
  // The pipe: the first of its name (one made before by someone else fails
  // it), one instance, for local clients, which only this user,
  // administrators and SYSTEM may open.
  constexpr DWORD kPipeSize = 16384;
  wchar_t pipeName[80], access[kSetupSidSize + 64];
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  _snwprintf(pipeName, 80, L"\\\\.\\pipe\\quillomar-setup-%lu-%llx", GetCurrentProcessId(),
             static_cast<unsigned long long>(counter.QuadPart));
  pipeName[79] = L'\0';
  const char* user = SetupUser();
  Win32Handle pipe{INVALID_HANDLE_VALUE};
  if (user != nullptr) {
    _snwprintf(access, kSetupSidSize + 64, L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;%hs)", user);
    access[kSetupSidSize + 63] = L'\0';
    PSECURITY_DESCRIPTOR descriptor = Descriptor(access);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    if (descriptor != nullptr) {
      pipe.h = CreateNamedPipeW(pipeName, PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                              kPipeSize, 0, &attributes);
      LocalFree(descriptor);
    }
  }
  OVERLAPPED connect = {};
  connect.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Win32Handle event{connect.hEvent};
  bool listening = pipe.h != INVALID_HANDLE_VALUE && connect.hEvent != nullptr;
  if (listening && !ConnectNamedPipe(pipe.h, &connect)) {
    DWORD code = GetLastError();
    if (code == ERROR_PIPE_CONNECTED) SetEvent(connect.hEvent);
    listening = code == ERROR_PIPE_CONNECTED || code == ERROR_IO_PENDING;
  }
  static wchar_t line[4096];
  int written = _snwprintf(line, 4096, L"/AsAdministrator%ls%ls %ls", listening ? L" /ReportTo=" : L"",
                           listening ? pipeName : L"", parameters);
  SHELLEXECUTEINFOW execute = {};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  execute.hwnd = reinterpret_cast<HWND>(window);
  execute.lpVerb = L"runas";
  execute.lpFile = program;
  execute.lpParameters = line;
  execute.nShow = SW_SHOWNORMAL;
  int status = SETUP_HELPER_NOT_STARTED;
  if (written >= 0 && written < 4096 && ShellExecuteExW(&execute) && execute.hProcess != nullptr) {
    Win32Handle process{execute.hProcess};
    // What comes through the pipe counts only when the process started
    // here is the one that wrote it.
    const DWORD started = GetProcessId(execute.hProcess);
    bool fromStarted = false;
    HANDLE events[2] = {execute.hProcess, connect.hEvent};
    DWORD waited = WaitForMultipleObjects(listening ? 2 : 1, events, FALSE, INFINITE);
    if (waited == WAIT_OBJECT_0 + 1 || (listening && WaitForSingleObject(connect.hEvent, 0) == WAIT_OBJECT_0)) {
      ULONG client = 0;
      DWORD ignored = 0;
      fromStarted = GetOverlappedResult(pipe.h, &connect, &ignored, FALSE) &&
                    GetNamedPipeClientProcessId(pipe.h, &client) && client == started;
    }
    WaitForSingleObject(execute.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(execute.hProcess, &code)) status = static_cast<int>(code);
    // The process has ended: the pipe holds all it wrote, then ends.
    static wchar_t received[kPipeSize / sizeof(wchar_t)];
    DWORD total = 0;
    while (fromStarted && total < kPipeSize) {
      OVERLAPPED reading = {};
      reading.hEvent = connect.hEvent;
      ResetEvent(connect.hEvent);
      DWORD got = 0;
      if (!ReadFile(pipe.h, reinterpret_cast<char*>(received) + total, kPipeSize - total, &got, &reading)) {
        if (GetLastError() != ERROR_IO_PENDING || WaitForSingleObject(connect.hEvent, 5000) != WAIT_OBJECT_0 ||
            !GetOverlappedResult(pipe.h, &reading, &got, FALSE)) {
          CancelIo(pipe.h);
          break;
        }
      }
      if (got == 0) break;
      total += got;
    }
    uint32_t length = total / sizeof(wchar_t), at = length > 0 && received[0] == 0xFEFF ? 1 : 0, out = 0;
    for (; at < length && out + 1 < reportSize; ++at) report[out++] = received[at];
    report[out] = L'\0';
  }
  return status;
}

const wchar_t* SetupCommandLine() { return GetCommandLineW(); }

bool SetupWriteReport(const wchar_t* path, const wchar_t* text) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = static_cast<DWORD>(wcslen(text) * sizeof(wchar_t)), written = 0;
  bool whole = WriteFile(file, text, size, &written, nullptr) && written == size;
  return CloseHandle(file) && whole;
}
