// What the Windows setup asks of the system about the game's folder, each a
// whole task (platform/win32_setup.cpp). The setup runs elevated and makes a
// program that every user's double-click starts, so it trusts no folder it
// is pointed at: it installs only into a folder that nobody but Administrators,
// SYSTEM, TrustedInstaller, CREATOR OWNER and the administrator running it
// may change, reached through no link, and gives Levels an access list of
// its own through a handle that never follows a link.
//
// Tasks return kSetupDone, or kSetupRefused with a sentence for the user in
// report (at most reportSize wide characters, terminator included; cut to
// fit, never overrun).
#ifndef LEVELSET_PLATFORM_WIN32_SETUP_H
#define LEVELSET_PLATFORM_WIN32_SETUP_H

#include <cstdint>

constexpr int kSetupDone = 0;
constexpr int kSetupRefused = 2;
constexpr int kSetupInUse = 3;

// The rights (Windows access-mask bits, generic rights mapped for files)
// that let someone else turn the chosen folder against its users.
// Above it: replace or re-point the next folder down (delete or rename it,
// delete any child, change who may do what, take ownership).
constexpr uint32_t kRightsThatCountAbove = 0x00010000u    // DELETE
                                         | 0x00000040u    // FILE_DELETE_CHILD
                                         | 0x00040000u    // WRITE_DAC
                                         | 0x00080000u;   // WRITE_OWNER
// A drive's root cannot be deleted or renamed.
constexpr uint32_t kRightsThatCountAtRoot = kRightsThatCountAbove & ~0x00010000u;
// The chosen folder itself: any write too (add a file, a subfolder, extended
// attributes or attributes), since a file planted beside the program may be
// loaded by it, and a Levels made first would be theirs.
constexpr uint32_t kRightsThatCountInFolder = kRightsThatCountAbove
                                            | 0x00000002u   // FILE_ADD_FILE
                                            | 0x00000004u   // FILE_ADD_SUBDIRECTORY
                                            | 0x00000010u   // FILE_WRITE_EA
                                            | 0x00000100u;  // FILE_WRITE_ATTRIBUTES

// The rights among rightsThatCount that someone outside the trusted list
// holds on a folder with this security descriptor (a SECURITY_DESCRIPTOR),
// or 0. Allow entries that apply to the folder itself count (inherit-only
// ones do not, generic rights are mapped); deny entries are ignored, which
// can only make the answer stricter. An owner outside the list counts as
// holding WRITE_DAC, which every owner has; no access list at all gives
// everyone everything; an entry whose holder cannot be read counts against.
// holder receives who it is, as a SID ("S-1-1-0"), or a short description.
// setupUser is the SID of the administrator running the setup, as text
// ("S-1-5-21-..."), or null.
uint32_t UntrustedFolderRights(const void* descriptor, uint32_t rightsThatCount,
                               const char* setupUser, char* holder, uint32_t holderSize);

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
// the way; a file that is not there is done. kSetupInUse while it is open
// (a running program), kSetupRefused for a folder or a name reached
// otherwise, which is left as it is.
int SetupRemoveFile(const wchar_t* file, wchar_t* report, uint32_t reportSize);

// Whether both names lead to one and the same existing folder.
bool SetupSameFolder(const wchar_t* first, const wchar_t* second);

// The process's command line, and the report written to a file as UTF-16LE.
const wchar_t* SetupCommandLine();
bool SetupWriteReport(const wchar_t* path, const wchar_t* text);

#endif
