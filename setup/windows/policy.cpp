// The setup's decisions (setup/windows/policy.h).
#include "setup/windows/policy.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/windows/trust.h"

namespace {

// Who may change the game's folder: the accounts both Windows programs
// trust and the setup's own user (IsTrustedAccount), and on an access list
// CREATOR OWNER (which stands for nobody on the folder itself and hands
// rights down to what its creator makes) and OWNER RIGHTS (which stands for
// the owner, by then known to be trusted).
const char* const kTrustedHolders[] = {"S-1-3-0", "S-1-3-4"};

constexpr uint8_t kAllowed = 0x0;            // ACCESS_ALLOWED_ACE_TYPE
constexpr uint8_t kDenied = 0x1;             // ACCESS_DENIED_ACE_TYPE
constexpr uint8_t kDeniedObject = 0x6;       // ACCESS_DENIED_OBJECT_ACE_TYPE
constexpr uint8_t kAllowedCallback = 0x9;    // ACCESS_ALLOWED_CALLBACK_ACE_TYPE
constexpr uint8_t kDeniedCallback = 0xA;     // ACCESS_DENIED_CALLBACK_ACE_TYPE
constexpr uint8_t kDeniedCallbackObject = 0xC;
constexpr uint8_t kFilesInherit = 0x01;      // OBJECT_INHERIT_ACE
constexpr uint8_t kInheritOnly = 0x08;       // INHERIT_ONLY_ACE

// Generic rights as files and folders map them (FILE_GENERIC_READ...).
constexpr uint32_t kGenericRead = 0x80000000u, kFileGenericRead = 0x00120089u;
constexpr uint32_t kGenericWrite = 0x40000000u, kFileGenericWrite = 0x00120116u;
constexpr uint32_t kGenericExecute = 0x20000000u, kFileGenericExecute = 0x001200A0u;
constexpr uint32_t kGenericAll = 0x10000000u, kMaximumAllowed = 0x02000000u, kFileAllAccess = 0x001F01FFu;

uint32_t FileRights(uint32_t mask) {
  uint32_t rights = mask & 0x00FFFFFFu;
  if (mask & kGenericRead) rights |= kFileGenericRead;
  if (mask & kGenericWrite) rights |= kFileGenericWrite;
  if (mask & kGenericExecute) rights |= kFileGenericExecute;
  if (mask & (kGenericAll | kMaximumAllowed)) rights |= kFileAllAccess;
  return rights;
}

bool IsTrusted(const char* sid, const char* setupUser) {
  if (IsTrustedAccount(sid, setupUser)) return true;
  for (const char* trusted : kTrustedHolders) {
    if (strcmp(sid, trusted) == 0) return true;
  }
  return false;
}

void CopyText(char* out, uint32_t size, const char* text) {
  if (size == 0) return;
  uint32_t at = 0;
  for (; text[at] != '\0' && at + 1 < size; ++at) out[at] = text[at];
  out[at] = '\0';
}

// Appends text to out at *at, cut to fit size (AppendNarrow: ASCII text).
void Append(wchar_t* out, uint32_t size, uint32_t* at, const wchar_t* text) {
  for (; text != nullptr && *text != L'\0' && *at + 1 < size; ++text) out[(*at)++] = *text;
  out[*at] = L'\0';
}

// report = the parts one after another, cut to fit.
void Say(wchar_t* report, uint32_t size, std::initializer_list<const wchar_t*> parts) {
  if (size == 0) return;
  uint32_t at = 0;
  report[0] = L'\0';
  for (const wchar_t* part : parts) Append(report, size, &at, part);
}
void AppendNarrow(wchar_t* out, uint32_t size, uint32_t* at, const char* text) {
  for (; text != nullptr && *text != '\0' && *at + 1 < size; ++text) out[(*at)++] = static_cast<unsigned char>(*text);
  out[*at] = L'\0';
}

// Accounts that stand for many people, in the words players know them by.
struct KnownAccount {
  const char* sid;
  const wchar_t* words;
};
const KnownAccount kKnownAccounts[] = {
    {"S-1-1-0", L"Everyone"},
    {"S-1-5-11", L"every signed-in user of this computer"},
    {"S-1-5-32-545", L"every user of this computer"},
    {"S-1-5-4", L"every user signed in at this computer"},
    {"S-1-5-32-546", L"every guest of this computer"},
    {"S-1-5-7", L"anyone, without signing in"},
    {"S-1-3-4", L"the folder's owner"},
};

}  // namespace

const wchar_t kLevelsForPlayers[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;FR;;;BU)(A;OIIO;0x1301bf;;;CO)";
const wchar_t kLevelsReleased[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)(A;OIIO;FR;;;BU)";
const wchar_t kInstalledFileAccess[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
const wchar_t kLevelsKeeperAccess[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";
const char kLevelsKeeperText[] =
    "The level-set installer's setup keeps this file here, so that this folder is never empty.\r\n"
    "Level sets (.qlm files) go beside it. Uninstalling the level-set installer removes it.\r\n";

uint32_t SetupRightsThatCount(size_t end, size_t length) {
  return end == length ? kRightsThatCountInFolder : end == 3 ? kRightsThatCountAtRoot : kRightsThatCountAbove;
}

uint32_t SetupRightsThatCountOnFiles(size_t end, size_t length) { return end == length ? kRightsThatChangeAFile : 0; }

uint32_t UntrustedFolderRights(const SetupSecurity* security, uint32_t rightsThatCount, uint32_t rightsOnFiles,
                               const char* setupUser, char* holder, uint32_t holderSize) {
  CopyText(holder, holderSize, "");
  const char* trustedUser = setupUser != nullptr && setupUser[0] != '\0' ? setupUser : nullptr;

  // Every owner may change the access list, whatever it says.
  if (security->owner[0] == '\0') {
    CopyText(holder, holderSize, "no owner that can be read");
    return rightsThatCount & kRightWriteDac;
  }
  if (!IsTrusted(security->owner, trustedUser)) {
    CopyText(holder, holderSize, security->owner);
    return rightsThatCount & kRightWriteDac;
  }

  if (security->list == kAccessListUnreadable) {
    CopyText(holder, holderSize, "an access list that cannot be read");
    return rightsThatCount;
  }
  if (security->list == kAccessListAbsent) {  // no access list: everyone may do everything
    CopyText(holder, holderSize, "S-1-1-0");
    return rightsThatCount;
  }
  if (security->count > kSetupMaxEntries) {
    CopyText(holder, holderSize, "an access list too long to look at");
    return rightsThatCount;
  }
  for (uint32_t index = 0; index < security->count; ++index) {
    const SetupAccessEntry& entry = security->entries[index];
    if (!entry.read) {
      CopyText(holder, holderSize, "an entry that cannot be read");
      return rightsThatCount;
    }
    // Inherit-only: for what is made inside, not the folder. Files made
    // inside take what is handed down to them.
    const bool onFolder = (entry.flags & kInheritOnly) == 0, onFiles = (entry.flags & kFilesInherit) != 0;
    if (!onFolder && !onFiles) continue;
    switch (entry.type) {
      case kDenied:
      case kDeniedCallback:
      case kDeniedObject:
      case kDeniedCallbackObject:
        continue;  // ignoring a denial can only find more
      case kAllowed:
      case kAllowedCallback:
        break;  // a condition may hold: counted as granted
      default: {
        char what[48];
        snprintf(what, sizeof what, "an entry of type %u", static_cast<unsigned>(entry.type));
        CopyText(holder, holderSize, what);
        return rightsThatCount;
      }
    }
    if (entry.holder[0] == '\0') {
      CopyText(holder, holderSize, "an entry that cannot be read");
      return rightsThatCount;
    }
    const uint32_t mask = FileRights(entry.mask);
    const uint32_t rights = (onFolder ? mask & rightsThatCount : 0) | (onFiles ? mask & rightsOnFiles : 0);
    if (rights != 0 && !IsTrusted(entry.holder, trustedUser)) {
      CopyText(holder, holderSize, entry.holder);
      return rights;
    }
  }
  return 0;
}

void SetupSay(SetupWords words, const wchar_t* name, const wchar_t* detail, wchar_t* report, uint32_t reportSize) {
  switch (words) {
    case kSayFolderMissing:
      Say(report, reportSize, {name, L" does not exist. The level-set installer goes into the folder in which "
                                     L"Quillomar is installed, which the game's own setup makes: install "
                                     L"Quillomar first, or choose the folder it is in."});
      return;
    case kSayCannotRead:
      Say(report, reportSize, {L"Setup cannot read who may change ", name, L" (", detail, L"), so it installs nothing."});
      return;
    case kSayFolderIsLink:
      Say(report, reportSize, {name, L" is a link to another folder (a junction or symbolic link). Choose the folder "
                                     L"in which Quillomar really is, reached through no link."});
      return;
    case kSayNotAFolder:
      Say(report, reportSize, {name, L" is not a folder. Choose the folder in which Quillomar is installed."});
      return;
    case kSayNotFixedDrive:
      Say(report, reportSize, {name, L" is not on a fixed drive of this computer: the letter of a removable or "
                                     L"network drive may later name another disk. Choose the folder in which "
                                     L"Quillomar is installed on a fixed drive."});
      return;
    case kSayNotOnDrive:
      Say(report, reportSize, {name, L" is not a folder on a drive of this computer. Choose the folder in which "
                                     L"Quillomar is installed."});
      return;
    case kSayReachedByLink:
      Say(report, reportSize, {name, L" is reached through a link to another folder (a junction, symbolic link "
                                     L"or substituted drive). Choose the folder in which Quillomar really is."});
      return;
    case kSayNameTooLong:
      Say(report, reportSize, {name, L" has too long a name."});
      return;
    case kSayLevelsIsLink:
      Say(report, reportSize, {name, L" is a link to another folder (a junction or symbolic link), or no folder at "
                                     L"all. Setup changes nothing there: remove it, then run Setup again."});
      return;
    case kSayLevelsUnseen:
      Say(report, reportSize, {name, L" cannot be looked at, so Setup changes nothing."});
      return;
    case kSayCannotMakeList:
      Say(report, reportSize, {L"Setup cannot make the access list of Levels in ", name, L": ", detail});
      return;
    case kSayCannotOpen:
      Say(report, reportSize, {L"Setup cannot open ", name, L": ", detail});
      return;
    case kSayCannotSetList:
      Say(report, reportSize, {L"Setup cannot set who may use ", name, L": ", detail});
      return;
    case kSayLeftAsItIs:
      Say(report, reportSize, {name, L" is a folder, or is reached through a link, so Setup leaves it as it is."});
      return;
    case kSayCannotRemove:
      Say(report, reportSize, {L"Setup cannot remove ", name, L": ", detail});
      return;
    case kSayCannotSetFile:
      Say(report, reportSize, {L"Setup cannot set who may change ", name, L", so it installs nothing: ", detail});
      return;
    case kSayOldFolderLeft:
      Say(report, reportSize, {L"Setup leaves the earlier installation's folder ", name, L" as it is. ", detail});
      return;
    case kSayOldFileLeft:
      Say(report, reportSize, {L"Setup leaves ", name, L", of the earlier installation, as it is. ", detail});
      return;
  }
  Say(report, reportSize, {});
}

const wchar_t kSetupDetailsLine[] = L"--";

void SetupSayWho(const SetupBlocker* blocker, wchar_t* out, uint32_t outSize) {
  if (outSize == 0) return;
  uint32_t at = 0;
  out[0] = L'\0';
  for (const KnownAccount& known : kKnownAccounts) {
    if (strcmp(blocker->holder, known.sid) == 0) {
      Append(out, outSize, &at, known.words);
      return;
    }
  }
  if (blocker->account != nullptr && blocker->account[0] != L'\0') {
    Append(out, outSize, &at, blocker->group ? L"the group " : L"the user ");
    Append(out, outSize, &at, blocker->account);
  } else if (strncmp(blocker->holder, "S-", 2) == 0) {
    Append(out, outSize, &at, L"an account that this computer cannot name");
  } else {  // what the access list does not tell: anyone may
    Append(out, outSize, &at, L"perhaps anyone (Setup finds ");
    AppendNarrow(out, outSize, &at, blocker->holder);
    Append(out, outSize, &at, L")");
  }
}

void SetupSayOthersMayChange(const SetupBlocker* blockers, uint32_t count, bool justForMe, wchar_t* report,
                             uint32_t reportSize) {
  if (reportSize == 0) return;
  uint32_t at = 0;
  report[0] = L'\0';
  Append(report, reportSize, &at,
         count == 1 ? L"Others may change this folder, so they could replace the level-set installer that "
                    : L"Others may change these folders, so they could replace the level-set installer that ");
  Append(report, reportSize, &at,
         justForMe ? L"your double-click runs:\r\n\r\n" : L"every user's double-click would run:\r\n\r\n");
  for (uint32_t index = 0; index < count; ++index) {
    wchar_t who[300];
    SetupSayWho(&blockers[index], who, 300);
    Append(report, reportSize, &at, L"    ");
    Append(report, reportSize, &at, blockers[index].folder);
    Append(report, reportSize, &at, L": ");
    Append(report, reportSize, &at, who);
    Append(report, reportSize, &at, L"\r\n");
  }
  Append(report, reportSize, &at,
         justForMe ? L"\r\nJust for you, only your own double-clicks use it, and they trust this folder as much as your "
                     L"game does already.\r\n"
                   : L"\r\nInstall just for you instead: only your own double-clicks then use it, and they trust this "
                     L"folder as much as your game does already. To install for all users, let only administrators "
                     L"change the folders above, or install the game under Program Files.\r\n");
  Append(report, reportSize, &at, kSetupDetailsLine);
  Append(report, reportSize, &at, L"\r\n");
  for (uint32_t index = 0; index < count; ++index) {
    char mask[16];
    snprintf(mask, sizeof mask, "0x%08x", static_cast<unsigned>(blockers[index].rights));
    Append(report, reportSize, &at, blockers[index].folder);
    Append(report, reportSize, &at, L": ");
    AppendNarrow(report, reportSize, &at, blockers[index].holder);
    Append(report, reportSize, &at, L" holds access ");
    AppendNarrow(report, reportSize, &at, mask);
    Append(report, reportSize, &at, L"\r\n");
  }
}
