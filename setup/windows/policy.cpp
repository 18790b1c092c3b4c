// The setup's decisions (setup/windows/policy.h).
#include "setup/windows/policy.h"

#include <cstring>
#include <initializer_list>

namespace {

// Who may change the game's folder: Administrators, SYSTEM, TrustedInstaller
// and CREATOR OWNER (which stands for nobody on the folder itself and hands
// rights down to what its creator makes), besides the setup's own user.
const char* const kTrustedSids[] = {
    "S-1-5-32-544",
    "S-1-5-18",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
    "S-1-3-0",
};

constexpr uint8_t kAllowed = 0x0;            // ACCESS_ALLOWED_ACE_TYPE
constexpr uint8_t kDenied = 0x1;             // ACCESS_DENIED_ACE_TYPE
constexpr uint8_t kDeniedObject = 0x6;       // ACCESS_DENIED_OBJECT_ACE_TYPE
constexpr uint8_t kAllowedCallback = 0x9;    // ACCESS_ALLOWED_CALLBACK_ACE_TYPE
constexpr uint8_t kDeniedCallback = 0xA;     // ACCESS_DENIED_CALLBACK_ACE_TYPE
constexpr uint8_t kDeniedCallbackObject = 0xC;
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
  if (setupUser != nullptr && strcmp(sid, setupUser) == 0) return true;
  for (const char* trusted : kTrustedSids) {
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

// report = the parts one after another, cut to fit.
void Say(wchar_t* report, uint32_t size, std::initializer_list<const wchar_t*> parts) {
  if (size == 0) return;
  uint32_t at = 0;
  for (const wchar_t* part : parts) {
    for (; part != nullptr && *part != L'\0' && at + 1 < size; ++part) report[at++] = *part;
  }
  report[at] = L'\0';
}

const wchar_t kAdvice[] =
    L" Setup installs nothing there: install the game under Program Files, or let only "
    L"administrators change its folder and every folder above it.";

}  // namespace

const wchar_t kLevelsForPlayers[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;FR;;;BU)(A;OIIO;0x1301bf;;;CO)";
const wchar_t kLevelsReleased[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)(A;OIIO;FR;;;BU)";

uint32_t SetupRightsThatCount(size_t end, size_t length) {
  return end == length ? kRightsThatCountInFolder : end == 3 ? kRightsThatCountAtRoot : kRightsThatCountAbove;
}

uint32_t UntrustedFolderRights(const SetupSecurity* security, uint32_t rightsThatCount, const char* setupUser,
                               char* holder, uint32_t holderSize) {
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
    if (entry.flags & kInheritOnly) continue;  // for what is made inside, not the folder
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
        char what[48] = "an entry of type ";
        size_t at = strlen(what);
        unsigned type = entry.type;
        char digits[4];
        size_t count = 0;
        do {
          digits[count++] = static_cast<char>('0' + type % 10);
          type /= 10;
        } while (type != 0);
        while (count > 0) what[at++] = digits[--count];
        what[at] = '\0';
        CopyText(holder, holderSize, what);
        return rightsThatCount;
      }
    }
    if (entry.holder[0] == '\0') {
      CopyText(holder, holderSize, "an entry that cannot be read");
      return rightsThatCount;
    }
    uint32_t rights = FileRights(entry.mask) & rightsThatCount;
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
  }
  Say(report, reportSize, {});
}

void SetupSayUntrusted(const wchar_t* who, const wchar_t* path, uint32_t rights, wchar_t* report,
                       uint32_t reportSize) {
  wchar_t mask[11] = L"0x";
  for (int digit = 0; digit < 8; ++digit) {
    mask[2 + digit] = L"0123456789abcdef"[(rights >> (28 - 4 * digit)) & 0xFu];
  }
  mask[10] = L'\0';
  Say(report, reportSize, {who, L" may change ", path, L" (access ", mask, L"), so they could replace the program "
                           L"that opens every user's level sets.", kAdvice});
}
