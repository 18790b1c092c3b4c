// The setup's own dealings with the game's folder on Windows: who may change
// it, and the access list of Levels (see platform/win32_setup.h). Folders
// are looked at and changed through handles opened on the name itself
// (FILE_FLAG_OPEN_REPARSE_POINT), so a junction or symbolic link is seen as
// what it is and never followed.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "platform/win32_setup.h"

static_assert(kRightsThatCountAbove == (DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER), "above");
static_assert(kRightsThatCountInFolder == (kRightsThatCountAbove | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY |
                                           FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES), "folder");

namespace {

// The longest folder name the setup works with (NSIS's own limit).
constexpr uint32_t kPathSize = 1024;
constexpr uint32_t kSidTextSize = 192;

// Who may change the game's folder: Administrators, SYSTEM, TrustedInstaller
// and CREATOR OWNER (which stands for nobody on the folder itself and hands
// rights down to what its creator makes), besides the setup's own user.
const char* const kTrustedSids[] = {
    "S-1-5-32-544",
    "S-1-5-18",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
    "S-1-3-0",
};

// Levels for players: owned by Administrators, nothing inherited; SYSTEM
// and Administrators full control; Users list it, read it and add files
// (this folder only), and read the files in it; the creator of a file may
// modify and delete it (inherited by files only). Nobody but the creator and
// administrators may delete a file: Users have no "delete subfolders and
// files".
const wchar_t kLevelsForPlayers[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;FR;;;BU)(A;OIIO;0x1301bf;;;CO)";
// Levels once the installer is gone: the same without the right to add
// files and without the creators' entry; players' files keep their own.
const wchar_t kLevelsReleased[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)(A;OIIO;FR;;;BU)";

// --- Texts into fixed buffers ---------------------------------------------------

void CopyText(char* out, uint32_t size, const char* text) {
  if (size == 0) return;
  uint32_t at = 0;
  for (; text[at] != '\0' && at + 1 < size; ++at) out[at] = text[at];
  out[at] = '\0';
}

// report = the parts one after another, cut to fit.
void Say(wchar_t* report, uint32_t size, std::initializer_list<const wchar_t*> parts) {
  if (size == 0) return;
  uint32_t at = 0;
  for (const wchar_t* part : parts) {
    for (; part != nullptr && *part != L'\0' && at + 1 < size; ++part) report[at++] = *part;
  }
  report[at] = L'\0';
}

// The system's text for an error code, without its line end.
void ErrorText(DWORD code, wchar_t* out, uint32_t size) {
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, out, size, nullptr);
  if (length == 0 || length >= size) {
    _snwprintf(out, size, L"error %lu", code);
    out[size - 1] = L'\0';
    return;
  }
  while (length > 0 && (out[length - 1] == L'\r' || out[length - 1] == L'\n' || out[length - 1] == L' ')) {
    out[--length] = L'\0';
  }
}

bool SameName(const wchar_t* first, const wchar_t* second) {
  return CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
}

// --- Who may change a folder ------------------------------------------------------

bool SidText(PSID sid, char* out, uint32_t size) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return false;
  CopyText(out, size, text);
  LocalFree(text);
  return true;
}

bool IsTrusted(const char* sid, const char* setupUser) {
  if (setupUser != nullptr && strcmp(sid, setupUser) == 0) return true;
  for (const char* trusted : kTrustedSids) {
    if (strcmp(sid, trusted) == 0) return true;
  }
  return false;
}

// An access mask in the rights of files and folders.
uint32_t FileRights(ACCESS_MASK mask) {
  if (mask & MAXIMUM_ALLOWED) mask |= FILE_ALL_ACCESS;
  GENERIC_MAPPING files = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  MapGenericMask(&mask, &files);
  return mask;
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

// The file or folder of that name itself, never what a link there leads to.
// Whoever reads what it is (IsFolder, ReachedName) asks for FILE_READ_ATTRIBUTES.
HANDLE OpenItself(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsFolder(HANDLE handle, bool* isLink) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
  *isLink = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The name of what the handle reached, without "\\?\": a link anywhere on
// the way shows as a name other than the one asked for.
bool ReachedName(HANDLE handle, wchar_t* out, uint32_t size) {
  wchar_t name[kPathSize + 8];
  DWORD length = GetFinalPathNameByHandleW(handle, name, kPathSize + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= kPathSize + 8) return false;
  const wchar_t* start = wcsncmp(name, L"\\\\?\\", 4) == 0 ? name + 4 : name;
  if (wcslen(start) >= size) return false;
  wcscpy(out, start);
  return true;
}

// Folder and Levels under it, as one name.
bool LevelsOf(const wchar_t* folder, wchar_t* out, uint32_t size) {
  size_t length = wcslen(folder);
  const wchar_t* separator = length > 0 && folder[length - 1] == L'\\' ? L"" : L"\\";
  if (length + wcslen(separator) + 6 >= size) return false;
  _snwprintf(out, size, L"%ls%lsLevels", folder, separator);
  out[size - 1] = L'\0';
  return true;
}

const char* SetupUser() {
  static char text[kSidTextSize];
  if (text[0] != '\0') return text;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD length = 0;
  bool known = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) &&
               SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, text, sizeof text);
  CloseHandle(token);
  return known ? text : nullptr;
}

// Someone outside the trusted, named for the user: "Everyone", "DOMAIN\name"
// or, when the system has no name for them, the SID.
void HolderName(const char* holder, wchar_t* out, uint32_t size) {
  PSID sid = nullptr;
  wchar_t name[256], domain[256];
  DWORD nameLength = 256, domainLength = 256;
  SID_NAME_USE use;
  if (ConvertStringSidToSidA(holder, &sid) &&
      LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
    _snwprintf(out, size, L"%ls%ls%ls (%hs)", domain, domain[0] ? L"\\" : L"", name, holder);
  } else {
    _snwprintf(out, size, L"%hs", holder);
  }
  out[size - 1] = L'\0';
  if (sid) LocalFree(sid);
}

const wchar_t kAdvice[] =
    L" Setup installs nothing there: install the game under Program Files, or let only "
    L"administrators change its folder and every folder above it.";

// One folder of the way: there, a folder and no link, and nobody outside
// the trusted holds a right that counts on it.
int CheckOneFolder(const wchar_t* path, bool chosen, uint32_t rightsThatCount, wchar_t* report,
                   uint32_t size) {
  HANDLE folder = OpenItself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
  if (folder == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (chosen && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)) {
      Say(report, size, {path, L" does not exist. The level-set installer goes into the folder in which "
                               L"Quillomar is installed, which the game's own setup makes: install "
                               L"Quillomar first, or choose the folder it is in."});
      return kSetupRefused;
    }
    wchar_t error[256];
    ErrorText(code, error, 256);
    Say(report, size, {L"Setup cannot read who may change ", path, L" (", error, L"), so it installs nothing."});
    return kSetupRefused;
  }
  bool isLink = false;
  bool isFolder = IsFolder(folder, &isLink);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD read = isFolder && !isLink
                   ? GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, nullptr, nullptr, &descriptor)
                   : ERROR_SUCCESS;
  CloseHandle(folder);
  if (isLink) {
    Say(report, size, {path, L" is a link to another folder (a junction or symbolic link). Choose the folder "
                             L"in which Quillomar really is, reached through no link."});
    return kSetupRefused;
  }
  if (!isFolder) {
    Say(report, size, {path, L" is not a folder. Choose the folder in which Quillomar is installed."});
    return kSetupRefused;
  }
  if (read != ERROR_SUCCESS) {
    wchar_t error[256];
    ErrorText(read, error, 256);
    Say(report, size, {L"Setup cannot read who may change ", path, L" (", error, L"), so it installs nothing."});
    return kSetupRefused;
  }
  char holder[kSidTextSize];
  uint32_t rights = UntrustedFolderRights(descriptor, rightsThatCount, SetupUser(), holder, sizeof holder);
  LocalFree(descriptor);
  if (rights == 0) return kSetupDone;
  wchar_t who[600], mask[32];
  HolderName(holder, who, 600);
  _snwprintf(mask, 32, L"0x%08lx", static_cast<unsigned long>(rights));
  mask[31] = L'\0';
  Say(report, size, {who, L" may change ", path, L" (access ", mask, L"), so they could replace the program "
                     L"that opens every user's level sets.", kAdvice});
  return kSetupRefused;
}

// Levels under a folder, as Setup is about to set it: a folder, no link, and
// reached under the very folder the handle folder reached.
int CheckLevels(const wchar_t* reachedFolder, const wchar_t* levels, HANDLE handle, wchar_t* report,
                uint32_t size) {
  bool isLink = false;
  wchar_t reached[kPathSize], expected[kPathSize];
  if (!IsFolder(handle, &isLink) || isLink || !ReachedName(handle, reached, kPathSize) ||
      !LevelsOf(reachedFolder, expected, kPathSize) || !SameName(reached, expected)) {
    Say(report, size, {levels, L" is a link to another folder (a junction or symbolic link), or no folder at "
                               L"all. Setup changes nothing there: remove it, then run Setup again."});
    return kSetupRefused;
  }
  return kSetupDone;
}

// Sets the access list of folder\Levels through a handle on Levels itself.
// With make, a missing Levels is made (with that list); without, it is left missing.
int SetLevels(const wchar_t* folder, const wchar_t* descriptorText, bool make, wchar_t* report, uint32_t size) {
  wchar_t levels[kPathSize], reachedFolder[kPathSize], error[256];
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!LevelsOf(folder, levels, kPathSize) ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptorText, SDDL_REVISION_1, &descriptor, nullptr)) {
    ErrorText(GetLastError(), error, 256);
    Say(report, size, {L"Setup cannot make the access list of Levels in ", folder, L": ", error});
    return kSetupRefused;
  }
  if (make) {
    // Made with its access list, or there already: either way set below.
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    CreateDirectoryW(levels, &attributes);
  }
  int result = kSetupDone;
  HANDLE parent = OpenItself(folder, FILE_READ_ATTRIBUTES);
  HANDLE handle = OpenItself(levels, FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC | WRITE_OWNER);
  if (handle == INVALID_HANDLE_VALUE && !make) {
    result = kSetupDone;  // no Levels to take entries out of
  } else if (parent == INVALID_HANDLE_VALUE || handle == INVALID_HANDLE_VALUE ||
             !ReachedName(parent, reachedFolder, kPathSize)) {
    ErrorText(GetLastError(), error, 256);
    Say(report, size, {L"Setup cannot open ", levels, L": ", error});
    result = kSetupRefused;
  } else if (CheckLevels(reachedFolder, levels, handle, report, size) != kSetupDone) {
    result = make ? kSetupRefused : kSetupDone;  // a link is never changed
  } else if (!SetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                                  PROTECTED_DACL_SECURITY_INFORMATION,
                                      descriptor)) {
    ErrorText(GetLastError(), error, 256);
    Say(report, size, {L"Setup cannot set who may use ", levels, L": ", error});
    result = kSetupRefused;
  }
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (parent != INVALID_HANDLE_VALUE) CloseHandle(parent);
  LocalFree(descriptor);
  return result;
}

}  // namespace

uint32_t UntrustedFolderRights(const void* descriptor, uint32_t rightsThatCount, const char* setupUser,
                               char* holder, uint32_t holderSize) {
  CopyText(holder, holderSize, "");
  PSECURITY_DESCRIPTOR security = const_cast<void*>(descriptor);
  const char* trustedUser = setupUser != nullptr && setupUser[0] != '\0' ? setupUser : nullptr;
  char sid[kSidTextSize];

  // Every owner may change the access list, whatever it says.
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!IsValidSecurityDescriptor(security) || !GetSecurityDescriptorOwner(security, &owner, &defaulted) ||
      owner == nullptr || !SidText(owner, sid, sizeof sid)) {
    CopyText(holder, holderSize, "no owner that can be read");
    return rightsThatCount & WRITE_DAC;
  }
  if (!IsTrusted(sid, trustedUser)) {
    CopyText(holder, holderSize, sid);
    return rightsThatCount & WRITE_DAC;
  }

  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted)) {
    CopyText(holder, holderSize, "an access list that cannot be read");
    return rightsThatCount;
  }
  if (!present || dacl == nullptr) {  // no access list: everyone may do everything
    CopyText(holder, holderSize, "S-1-1-0");
    return rightsThatCount;
  }
  if (!IsValidAcl(dacl)) {
    CopyText(holder, holderSize, "an access list that cannot be read");
    return rightsThatCount;
  }
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, index, reinterpret_cast<void**>(&ace))) {
      CopyText(holder, holderSize, "an entry that cannot be read");
      return rightsThatCount;
    }
    if (ace->AceFlags & INHERIT_ONLY_ACE) continue;  // for what is made inside, not the folder
    switch (ace->AceType) {
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        continue;  // ignoring a denial can only find more
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        break;  // a condition may hold: counted as granted
      default: {
        char what[48];
        snprintf(what, sizeof what, "an entry of type %u", static_cast<unsigned>(ace->AceType));
        CopyText(holder, holderSize, what);
        return rightsThatCount;
      }
    }
    PSID granted = AllowedSid(ace);
    if (granted == nullptr || !SidText(granted, sid, sizeof sid)) {
      CopyText(holder, holderSize, "an entry that cannot be read");
      return rightsThatCount;
    }
    uint32_t rights = FileRights(reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask) & rightsThatCount;
    if (rights != 0 && !IsTrusted(sid, trustedUser)) {
      CopyText(holder, holderSize, sid);
      return rights;
    }
  }
  return 0;
}

int SetupCheckFolder(const wchar_t* folder, wchar_t* report, uint32_t reportSize) {
  Say(report, reportSize, {});
  wchar_t full[kPathSize];
  DWORD length = GetFullPathNameW(folder, kPathSize, full, nullptr);
  bool onDrive = length >= 3 && length < kPathSize && full[1] == L':' && full[2] == L'\\' &&
                 ((full[0] >= L'A' && full[0] <= L'Z') || (full[0] >= L'a' && full[0] <= L'z'));
  if (!onDrive) {
    Say(report, reportSize, {folder, L" is not a folder on a drive of this computer. Choose the folder in which "
                                     L"Quillomar is installed."});
    return kSetupRefused;
  }
  while (length > 3 && full[length - 1] == L'\\') full[--length] = L'\0';

  // The chosen folder, then every folder above it up to the drive's root.
  wchar_t path[kPathSize];
  for (size_t end = length;;) {
    wcsncpy(path, full, end);
    path[end] = L'\0';
    uint32_t rights = end == length ? kRightsThatCountInFolder
                      : end == 3    ? kRightsThatCountAtRoot
                                    : kRightsThatCountAbove;
    int result = CheckOneFolder(path, end == length, rights, report, reportSize);
    if (result != kSetupDone) return result;
    if (end == 3) break;
    size_t slash = end - 1;
    while (slash > 2 && full[slash] != L'\\') --slash;
    end = slash == 2 ? 3 : slash;
  }

  // No link on the way (the handle reached the folder under its own long
  // name), and Levels, if there, no link either.
  wchar_t expected[kPathSize], reached[kPathSize], levels[kPathSize];
  HANDLE chosen = OpenItself(full, FILE_READ_ATTRIBUTES);
  DWORD longLength = GetLongPathNameW(full, expected, kPathSize);
  bool direct = chosen != INVALID_HANDLE_VALUE && longLength > 0 && longLength < kPathSize &&
                ReachedName(chosen, reached, kPathSize) && SameName(reached, expected);
  if (chosen != INVALID_HANDLE_VALUE) CloseHandle(chosen);
  if (!direct) {
    Say(report, reportSize, {full, L" is reached through a link to another folder (a junction, symbolic link "
                                   L"or substituted drive). Choose the folder in which Quillomar really is."});
    return kSetupRefused;
  }
  if (!LevelsOf(full, levels, kPathSize)) {
    Say(report, reportSize, {full, L" has too long a name."});
    return kSetupRefused;
  }
  HANDLE handle = OpenItself(levels, FILE_READ_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return kSetupDone;  // Setup makes it
    Say(report, reportSize, {levels, L" cannot be looked at, so Setup changes nothing."});
    return kSetupRefused;
  }
  int result = CheckLevels(reached, levels, handle, report, reportSize);
  CloseHandle(handle);
  return result;
}

int SetupSecureLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize) {
  Say(report, reportSize, {});
  return SetLevels(folder, kLevelsForPlayers, true, report, reportSize);
}

int SetupReleaseLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize) {
  Say(report, reportSize, {});
  return SetLevels(folder, kLevelsReleased, false, report, reportSize);
}

int SetupRemoveFile(const wchar_t* file, wchar_t* report, uint32_t reportSize) {
  Say(report, reportSize, {});
  HANDLE handle = OpenItself(file, DELETE | FILE_READ_ATTRIBUTES);
  DWORD code = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return kSetupDone;
  int result = kSetupDone;
  bool isLink = false;
  wchar_t expected[kPathSize], reached[kPathSize];
  DWORD length = GetLongPathNameW(file, expected, kPathSize);
  if (code != ERROR_SUCCESS) {
    result = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ? kSetupInUse : kSetupRefused;
  } else if (IsFolder(handle, &isLink) || length == 0 || length >= kPathSize ||
             !ReachedName(handle, reached, kPathSize) || !SameName(reached, expected)) {
    Say(report, reportSize, {file, L" is a folder, or is reached through a link, so Setup leaves it as it is."});
    result = kSetupRefused;
  } else {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
      code = GetLastError();
      result = kSetupInUse;
    }
  }
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (result == kSetupInUse || (result == kSetupRefused && report[0] == L'\0')) {
    wchar_t error[256];
    ErrorText(code, error, 256);
    Say(report, reportSize, {L"Setup cannot remove ", file, L": ", error});
  }
  return result;
}

bool SetupSameFolder(const wchar_t* first, const wchar_t* second) {
  BY_HANDLE_FILE_INFORMATION information[2];
  const wchar_t* names[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    HANDLE handle = CreateFileW(names[i], FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(handle, &information[i]);
    CloseHandle(handle);
    if (!known || !(information[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  }
  return information[0].dwVolumeSerialNumber == information[1].dwVolumeSerialNumber &&
         information[0].nFileIndexHigh == information[1].nFileIndexHigh &&
         information[0].nFileIndexLow == information[1].nFileIndexLow;
}

const wchar_t* SetupCommandLine() { return GetCommandLineW(); }

bool SetupWriteReport(const wchar_t* path, const wchar_t* text) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = static_cast<DWORD>(wcslen(text) * sizeof(wchar_t)), written = 0;
  bool whole = WriteFile(file, text, size, &written, nullptr) && written == size;
  return CloseHandle(file) && whole;
}
