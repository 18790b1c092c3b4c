// What both Windows programs ask of the system (win32_identity.h).
#include "platform/windows/win32_identity.h"

#include <sddl.h>

#include <cwchar>

#include "platform/windows/trust.h"

namespace {

PSID TokenSid(TOKEN_INFORMATION_CLASS which, Win32TokenSid* buffer) {
  Win32Handle token{nullptr};
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.h)) return nullptr;
  DWORD size = 0;
  if (!GetTokenInformation(token.h, which, buffer->bytes, sizeof buffer->bytes, &size)) return nullptr;
  return which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer->bytes)->User.Sid
                            : reinterpret_cast<TOKEN_OWNER*>(buffer->bytes)->Owner;
}

// The longest name worked with, terminator included, and room for the
// "\\?\UNC\" the system puts before it.
constexpr DWORD kNameSize = 1024;
constexpr DWORD kPrefixedSize = kNameSize + 8;

}  // namespace

PSID Win32CurrentUser(Win32TokenSid* buffer) { return TokenSid(TokenUser, buffer); }

PSID Win32NewFilesOwner(Win32TokenSid* buffer) { return TokenSid(TokenOwner, buffer); }

bool Win32TrustedAccount(PSID sid) {
  char* text = nullptr;
  char* self = nullptr;
  Win32TokenSid buffer;
  PSID user = Win32CurrentUser(&buffer);
  if (user != nullptr && !ConvertSidToStringSidA(user, &self)) self = nullptr;
  bool trusted = ConvertSidToStringSidA(sid, &text) && IsTrustedAccount(text, self);
  if (text) LocalFree(text);
  if (self) LocalFree(self);
  return trusted;
}

bool Win32SameFile(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second) {
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

HANDLE Win32OpenItself(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

void Win32PlainName(wchar_t* name) {
  auto drive = [](const wchar_t* at) { return iswalpha(at[0]) && at[1] == L':'; };
  if (wcsncmp(name, L"\\\\?\\UNC\\", 8) == 0) {
    wmemmove(name + 2, name + 8, wcslen(name + 8) + 1);
  } else if (wcsncmp(name, L"\\\\?\\", 4) == 0 || (wcsncmp(name, L"\\\\.\\", 4) == 0 && drive(name + 4))) {
    wmemmove(name, name + 4, wcslen(name + 4) + 1);
  }
  size_t length = wcslen(name);
  if (length > 0 && name[length - 1] == L'\\') name[length - 1] = L'\0';
}

bool Win32ReachedName(HANDLE handle, wchar_t* out, DWORD size) {
  wchar_t name[kPrefixedSize];
  DWORD length = GetFinalPathNameByHandleW(handle, name, kPrefixedSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= kPrefixedSize) return false;
  Win32PlainName(name);
  if (wcslen(name) >= size) return false;
  wcscpy(out, name);
  return true;
}

bool Win32SameName(const wchar_t* first, const wchar_t* second) {
  wchar_t a[kPrefixedSize], b[kPrefixedSize];
  if (wcslen(first) >= kPrefixedSize || wcslen(second) >= kPrefixedSize) return false;
  wcscpy(a, first);
  wcscpy(b, second);
  Win32PlainName(a);
  Win32PlainName(b);
  return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

DWORD Win32ErrorText(DWORD code, wchar_t* out, DWORD size, Win32LineEnd lineEnd) {
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out, size, nullptr);
  if (length == 0 || length >= size) {
    if (size > 0) out[0] = L'\0';
    return 0;
  }
  while (lineEnd == kWin32DropLineEnd && length > 0 &&
         (out[length - 1] == L'\r' || out[length - 1] == L'\n' || out[length - 1] == L' ')) {
    out[--length] = L'\0';
  }
  return length;
}
