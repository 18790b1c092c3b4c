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

// Whom an installation is for: every user of the computer (the setup runs
// elevated and trusts only a folder that administrators alone may change)
// or the user running it, in any folder they may write.
enum SetupMode { kSetupForAllUsers, kSetupJustForMe };

// The folder exists, is a folder on a fixed drive of this computer (given
// as C:\... or \\?\C:\...), neither it nor any folder above it is a link,
// only the trusted may change it and the folders above it in the ways that
// count, or the files made in it, and its Levels, if there is one, is a
// folder and no link. Just for me, who else may change the folders is not
// asked. SETUP_HELPER_OTHERS_MAY_CHANGE, for all users, names in report every
// folder on the way that others may change (SetupSayOthersMayChange; with
// sayJustForMe, in the words for a player installing just for them).
int SetupCheckFolder(const wchar_t* folder, SetupMode mode, wchar_t* report, uint32_t reportSize,
                     bool sayJustForMe = false);

// Gives folder\Levels (made when missing) the access list of a shared Levels:
// protected from inheritance, owned by Administrators; Administrators and
// SYSTEM full control; Users list and read it and add files; whoever adds a
// file may change or delete that file, and nobody else's. Before players may
// add to it, it gets a file of Administrators' (SETUP_LEVELS_KEEPER), so that
// it is never empty: nobody may turn a folder with a file in it into a link.
int SetupSecureLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize);

// Takes the players' entries back out of folder\Levels: Users may list and
// read it, no longer add to it. A Levels that is missing, or is a link or no
// folder, is left alone.
int SetupReleaseLevels(const wchar_t* folder, wchar_t* report, uint32_t reportSize);

// Gives each installed file, as unpacked beside its place (NAME.new in
// folder), its own protected access list (kInstalledFileAccess), through a
// handle on the file itself, reached under its name.
int SetupSecureInstalledFiles(const wchar_t* folder, wchar_t* report, uint32_t reportSize);

// Takes the earlier installation out of folder, judged first as a folder to
// install into is for that mode (SetupCheckFolder): refused, it is left as it is and
// report says why. Otherwise its installed files go, through handles as
// SetupRemoveFile does, the players' entries leave its Levels, the keeper of
// Levels goes, and Levels and the folder go when nothing else is left in
// them. SETUP_HELPER_IN_USE or SETUP_HELPER_REFUSED when a file was left, and
// report says which.
int SetupRemoveOldInstallation(const wchar_t* folder, SetupMode mode, wchar_t* report, uint32_t reportSize);

// Deletes the file of that name itself (a link there, never what it leads
// to), as long as it is reached under that very name, through no link on
// the way; a file that is not there is done. SETUP_HELPER_IN_USE while it is open
// (a running program), SETUP_HELPER_REFUSED for a folder or a name reached
// otherwise, which is left as it is.
int SetupRemoveFile(const wchar_t* file, wchar_t* report, uint32_t reportSize);

// The uninstaller's own file, once the uninstaller (process processId) has
// ended, or at most a minute on: then as SetupRemoveFile. An uninstaller
// run in place, so that whoever started it waits for its true exit status,
// cannot remove its own file while it runs.
int SetupRemoveWhenEnded(const wchar_t* file, unsigned long processId, wchar_t* report, uint32_t reportSize);

// Runs program as an administrator (Windows asks for consent, over the
// window given, or 0) with "/AsAdministrator /ReportTo=PIPE parameters",
// waits for it and returns its exit status, or SETUP_HELPER_NOT_STARTED.
// PIPE is made here, for this user, administrators and SYSTEM only, and
// what the started process itself, and no other, writes into it is its
// reason: it comes back in report (empty when it said nothing). The run
// started so writes no file of a name that this user gave.
int SetupRunElevated(const wchar_t* program, const wchar_t* parameters, uintptr_t window, wchar_t* report,
                     uint32_t reportSize);

// Whether both names lead to one and the same existing folder.
bool SetupSameFolder(const wchar_t* first, const wchar_t* second);

// The process's command line, and the report written to a file as UTF-16LE.
const wchar_t* SetupCommandLine();
bool SetupWriteReport(const wchar_t* path, const wchar_t* text);

#endif
