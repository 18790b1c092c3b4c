// What the Windows setup's helper asks of the system about the game's
// folder, each a whole task (setup/windows/system_win32.cpp). Folders are
// looked at and changed through handles opened on the name itself, never
// through a link; what is decided, and said, is the policy's (policy.h).
//
// Tasks return SETUP_HELPER_DONE, or another of the helper's statuses
// (facts.h) with a sentence for the user in report (at most reportSize wide
// characters, terminator included; cut to fit, never overrun).
#ifndef LEVELSET_SETUP_WINDOWS_SYSTEM_H
#define LEVELSET_SETUP_WINDOWS_SYSTEM_H

#include <cstdint>

#include "setup/windows/policy.h"

// Reads a security descriptor (a SECURITY_DESCRIPTOR) into security.
void SetupReadSecurity(const void* descriptor, SetupSecurity* security);

// The folder exists, is a folder on a drive of this computer, neither it nor
// any folder above it is a link, only the trusted may change it and the
// folders above it in the ways that count, and its Levels, if there is one,
// is a folder and no link.
int SetupCheckFolder(const wchar_t* folder, wchar_t* report, uint32_t reportSize);

// Gives folder\Levels (made when missing) the access list of a shared Levels:
// protected from inheritance, owned by Administrators; Administrators and
// SYSTEM full control; Users list and read it and add files; whoever adds a
// file may change or delete that file, and nobody else's.
int SetupSecureLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize);

// Takes the players' entries back out of folder\Levels: Users may list and
// read it, no longer add to it. A Levels that is missing, or is a link or no
// folder, is left alone.
int SetupReleaseLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize);

// Deletes the file of that name itself (a link there, never what it leads
// to), as long as it is reached under that very name, through no link on
// the way; a file that is not there is done. SETUP_HELPER_IN_USE while it is open
// (a running program), SETUP_HELPER_REFUSED for a folder or a name reached
// otherwise, which is left as it is.
int SetupRemoveFile(const wchar_t* file, wchar_t* report, uint32_t reportSize);

// Whether both names lead to one and the same existing folder.
bool SetupSameFolder(const wchar_t* first, const wchar_t* second);

// The process's command line, and the report written to a file as UTF-16LE.
const wchar_t* SetupCommandLine();
bool SetupWriteReport(const wchar_t* path, const wchar_t* text);

#endif
