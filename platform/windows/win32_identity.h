// What both Windows programs, the installer and the setup's helper, ask of
// the system: who runs this process, a file or folder opened as itself, and
// whether two open files or folders are one and the same
// (platform/win32_identity.cpp).
#ifndef LEVELSET_PLATFORM_WIN32_IDENTITY_H
#define LEVELSET_PLATFORM_WIN32_IDENTITY_H

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Room for either SID of the process's token.
struct Win32TokenSid {
  alignas(TOKEN_USER) BYTE bytes[256];
};

// The user this process runs as (TokenUser) or the owner its new files get
// (TokenOwner: for an elevated administrator, the Administrators group),
// kept in buffer; null when the token cannot be read.
PSID Win32CurrentUser(Win32TokenSid* buffer);
PSID Win32NewFilesOwner(Win32TokenSid* buffer);

// The file or folder of that name itself, never what a link there leads to,
// shared with everyone. Whoever reads what it is asks for
// FILE_READ_ATTRIBUTES.
HANDLE Win32OpenItself(const wchar_t* path, DWORD access);

// Whether the two descriptions are of one file or folder: the same volume
// and file index.
bool Win32SameFile(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second);

#endif
