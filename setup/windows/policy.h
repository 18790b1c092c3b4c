// What the Windows setup decides, apart from how it asks the system
// (system.h): whom it trusts with the game's folder, which rights count,
// the access lists it gives Levels, and what it tells the administrator.
// Plain functions over C strings and fixed buffers, with no system header,
// so that they are tested on any machine.
//
// The setup runs elevated and makes a program that every user's
// double-click starts, so it trusts no folder it is pointed at: it installs
// only into a folder that nobody but Administrators, SYSTEM,
// TrustedInstaller, CREATOR OWNER and the administrator running it may
// change, reached through no link.
#ifndef LEVELSET_SETUP_WINDOWS_POLICY_H
#define LEVELSET_SETUP_WINDOWS_POLICY_H

#include <cstddef>
#include <cstdint>

#include "setup/windows/facts.h"

// Windows access-mask bits of files and folders.
constexpr uint32_t kRightAddFile = 0x00000002u;          // FILE_ADD_FILE, FILE_WRITE_DATA
constexpr uint32_t kRightAddSubdirectory = 0x00000004u;  // FILE_ADD_SUBDIRECTORY, FILE_APPEND_DATA
constexpr uint32_t kRightWriteEa = 0x00000010u;          // FILE_WRITE_EA
constexpr uint32_t kRightDeleteChild = 0x00000040u;      // FILE_DELETE_CHILD
constexpr uint32_t kRightWriteAttributes = 0x00000100u;  // FILE_WRITE_ATTRIBUTES
constexpr uint32_t kRightDelete = 0x00010000u;           // DELETE
constexpr uint32_t kRightWriteDac = 0x00040000u;         // WRITE_DAC
constexpr uint32_t kRightWriteOwner = 0x00080000u;       // WRITE_OWNER

// The rights that let someone else turn the chosen folder against its users.
// Above it: replace or re-point the next folder down (delete or rename it,
// delete any child, change who may do what, take ownership).
constexpr uint32_t kRightsThatCountAbove = kRightDelete | kRightDeleteChild | kRightWriteDac | kRightWriteOwner;
// A drive's root cannot be deleted or renamed.
constexpr uint32_t kRightsThatCountAtRoot = kRightsThatCountAbove & ~kRightDelete;
// The chosen folder itself: any write too (add a file, a subfolder, extended
// attributes or attributes), since a file planted beside the program may be
// loaded by it, and a Levels made first would be theirs.
constexpr uint32_t kRightsThatCountInFolder = kRightsThatCountAbove | kRightAddFile | kRightAddSubdirectory |
                                              kRightWriteEa | kRightWriteAttributes;
// What the chosen folder hands down to the files made in it, the setup's
// own among them: any right that changes a file (write, append, change who
// may do what, take ownership, delete).
constexpr uint32_t kRightsThatChangeAFile = kRightAddFile | kRightAddSubdirectory | kRightWriteDac |
                                            kRightWriteOwner | kRightDelete;

// The rights that count on the folder whose name ends at end (a drive's root
// ends at 3, "C:\") when the chosen folder's name ends at length; and those
// that count in what it hands down to files (only the chosen folder's).
uint32_t SetupRightsThatCount(size_t end, size_t length);
uint32_t SetupRightsThatCountOnFiles(size_t end, size_t length);

// An access-list entry as the system holds it: its type (0 allow, 1 deny,
// 9 allow with a condition...), its flags (8: inherit only), its mask and,
// for an allow entry, whom it names as a SID ("S-1-1-0").
constexpr uint32_t kSetupSidSize = 192;
struct SetupAccessEntry {
  bool read;  // false: the system could not give the entry
  uint8_t type;
  uint8_t flags;
  uint32_t mask;
  char holder[kSetupSidSize];  // "" when it names nobody that could be read
};

// A folder's owner and access list, read from its security descriptor.
constexpr uint32_t kSetupMaxEntries = 64;
enum SetupAccessListState { kAccessListPresent, kAccessListAbsent, kAccessListUnreadable };
struct SetupSecurity {
  char owner[kSetupSidSize];  // "" when it could not be read
  SetupAccessListState list;
  uint32_t count;  // more than kSetupMaxEntries: only the first are here
  SetupAccessEntry entries[kSetupMaxEntries];
};

// The rights among rightsThatCount that someone outside the trusted list
// holds on a folder with this owner and access list, and those among
// rightsOnFiles that its entries hand down to files made in it, or 0. Allow
// entries that apply to the folder itself count for the first (inherit-only
// ones do not), those that files inherit, inherit-only or not, for the
// second; generic rights are mapped; deny entries are ignored, which can
// only make the answer stricter. An owner outside the list counts as holding WRITE_DAC,
// which every owner has; no access list at all gives everyone everything;
// an entry whose holder cannot be read counts against, and so does a list
// longer than can be looked at. holder receives who it is, as a SID
// ("S-1-1-0"), or a short description. setupUser is the SID of the
// administrator running the setup, as text ("S-1-5-21-..."), or null.
uint32_t UntrustedFolderRights(const SetupSecurity* security, uint32_t rightsThatCount, uint32_t rightsOnFiles,
                               const char* setupUser, char* holder, uint32_t holderSize);

// The access lists of Levels, in the system's notation (SDDL). For players:
// owned by Administrators, nothing inherited; SYSTEM and Administrators full
// control; Users list it, read it and add files (this folder only), and read
// the files in it; the creator of a file may modify and delete it (inherited
// by files only). Nobody but the creator and administrators may delete a
// file: Users have no "delete subfolders and files". Released, once the
// installer is gone: the same without the right to add files and without
// the creators' entry; players' files keep their own.
extern const wchar_t kLevelsForPlayers[];
extern const wchar_t kLevelsReleased[];
// The files the setup installs: their own list, protected from what the
// folder hands down; owned by Administrators; Administrators and SYSTEM full
// control, Users read and run them.
extern const wchar_t kInstalledFileAccess[];
// The file that keeps Levels from ever being empty (SETUP_LEVELS_KEEPER):
// the same, Users read it only; what it says.
extern const wchar_t kLevelsKeeperAccess[];
extern const char kLevelsKeeperText[];

// What the setup tells the administrator when it refuses or fails. name is
// the folder or file concerned; detail the system's text for the error,
// where there is one.
enum SetupWords {
  kSayFolderMissing,     // the chosen folder does not exist
  kSayCannotRead,        // who may change name cannot be read (detail)
  kSayFolderIsLink,      // name is a junction or symbolic link
  kSayNotAFolder,        // name is a file
  kSayNotOnDrive,        // name is on no drive of this computer
  kSayNotFixedDrive,     // name is on a removable, network or other drive
  kSayReachedByLink,     // a link on the way to name
  kSayNameTooLong,       // no Levels fits under name
  kSayLevelsIsLink,      // name, a Levels, is a link or no folder
  kSayLevelsUnseen,      // name, a Levels, cannot be looked at
  kSayCannotMakeList,    // the access list for Levels in name (detail)
  kSayCannotOpen,        // name cannot be opened (detail)
  kSayCannotSetList,     // the access list of name cannot be set (detail)
  kSayLeftAsItIs,        // name, to remove, is a folder or reached by a link
  kSayCannotRemove,      // name cannot be removed (detail)
  kSayCannotSetFile,     // the access list of name, a file of ours, cannot be set (detail)
  kSayOldFolderLeft,     // the earlier installation's folder name is left (detail: why)
  kSayOldFileLeft,       // name, of the earlier installation, is left (detail: why)
};
// report = the words, cut to fit reportSize wide characters (terminator
// included; never overrun).
void SetupSay(SetupWords words, const wchar_t* name, const wchar_t* detail, wchar_t* report, uint32_t reportSize);
// A folder on the way that someone outside the trusted may change: holder
// as UntrustedFolderRights gives it (a SID, or a short description),
// account the system's name for it ("" when it has none), group whether
// that name is a group's, rights the rights that count which they hold.
struct SetupBlocker {
  const wchar_t* folder;
  const char* holder;
  const wchar_t* account;
  bool group;
  uint32_t rights;
};
// Who holds rights, in words a player knows: "Everyone", "every signed-in
// user of this computer", "the user NAME"..., never a SID.
void SetupSayWho(const SetupBlocker* blocker, wchar_t* out, uint32_t outSize);
// The refusal of a folder for all users: every folder on the way that
// others may change, with who, and what to do next. The words for the
// player come first; after a line of its own, kSetupDetailsLine, come the
// SIDs and access masks, one folder a line, for the details and the log.
// Lines end in CR LF. justForMe: the same for a player installing just for
// them there, whose own double-click runs what others could replace.
extern const wchar_t kSetupDetailsLine[];
void SetupSayOthersMayChange(const SetupBlocker* blockers, uint32_t count, bool justForMe, wchar_t* report,
                             uint32_t reportSize);

#endif
