// Who runs the process, a name opened as itself, and one file under two
// names (win32_identity.h).
#include "platform/windows/win32_identity.h"

namespace {

PSID TokenSid(TOKEN_INFORMATION_CLASS which, Win32TokenSid* buffer) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  bool known = GetTokenInformation(token, which, buffer->bytes, sizeof buffer->bytes, &size);
  CloseHandle(token);
  if (!known) return nullptr;
  return which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer->bytes)->User.Sid
                            : reinterpret_cast<TOKEN_OWNER*>(buffer->bytes)->Owner;
}

}  // namespace

PSID Win32CurrentUser(Win32TokenSid* buffer) { return TokenSid(TokenUser, buffer); }

PSID Win32NewFilesOwner(Win32TokenSid* buffer) { return TokenSid(TokenOwner, buffer); }

bool Win32SameFile(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second) {
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

HANDLE Win32OpenItself(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}
