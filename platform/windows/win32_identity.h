// What both Windows programs, the installer and the setup's helper, ask of
// the system, in one place (platform/windows/win32_identity.cpp): who runs
// this process and whom it trusts (trust.h), a file or folder opened as
// itself and the name it was reached under, whether two names or two open
// files are one and the same, a handle that closes itself, and the
// system's text for an error.
#ifndef LEVELSET_PLATFORM_WIN32_IDENTITY_H
#define LEVELSET_PLATFORM_WIN32_IDENTITY_H

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Closes its handle when it goes out of scope, leaving the last error as it
// was; Release hands the handle on instead. A copy would close it twice.
struct Win32Handle {
  HANDLE h;
  explicit Win32Handle(HANDLE handle) : h(handle) {}
  Win32Handle(const Win32Handle&) = delete;
  Win32Handle& operator=(const Win32Handle&) = delete;
  HANDLE Release() {
    HANDLE kept = h;
    h = INVALID_HANDLE_VALUE;
    return kept;
  }
  ~Win32Handle() {
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return;
    DWORD code = GetLastError();
    CloseHandle(h);
    SetLastError(code);
  }
};

// Room for either SID of the process's token.
struct Win32TokenSid {
  alignas(TOKEN_USER) BYTE bytes[256];
};

// The user this process runs as (TokenUser) or the owner its new files get
// (TokenOwner: for an elevated administrator, the Administrators group),
// kept in buffer; null when the token cannot be read.
PSID Win32CurrentUser(Win32TokenSid* buffer);
PSID Win32NewFilesOwner(Win32TokenSid* buffer);

// Whether sid is the user this process runs as or one of kTrustedAccounts.
bool Win32TrustedAccount(PSID sid);

// The file or folder of that name itself, never what a link there leads to,
// shared with everyone. Whoever reads what it is asks for
// FILE_READ_ATTRIBUTES.
HANDLE Win32OpenItself(const wchar_t* path, DWORD access);

// name in place as a plain DOS name: without "\\?\" (which asks Windows to
// take the rest as it is) or "\\.\" before a drive, "\\?\UNC\server" as
// "\\server", and without a closing separator (a drive's root is "C:").
void Win32PlainName(wchar_t* name);

// The name under which the handle reached what it opened, as a plain name
// (Win32PlainName). A link anywhere on the way shows as a name other than
// the one asked for (where the system follows it: over the network a
// server follows its own junctions, and the name shows nothing).
bool Win32ReachedName(HANDLE handle, wchar_t* out, DWORD size);

// Whether the two names, as plain names, are one, letter case aside.
bool Win32SameName(const wchar_t* first, const wchar_t* second);

// Whether the two descriptions are of one file or folder: the same volume
// and file index.
bool Win32SameFile(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second);

// The system's text for code in out (size wide characters), with the line
// end the system gives it (the installer shows the text as it comes) or
// without (the setup's one-line reports); 0 when there is none or it does
// not fit, else its length.
enum Win32LineEnd { kWin32KeepLineEnd, kWin32DropLineEnd };
DWORD Win32ErrorText(DWORD code, wchar_t* out, DWORD size, Win32LineEnd lineEnd);

#endif
