// The setup's policy: whom it trusts with the game's folder. Security
// descriptors as Windows gives them (in its notation, SDDL), judged for the
// folder the setup installs into, a folder above it or the drive's root.
// Everywhere each descriptor is read by ReadSddl below; on Windows (under
// Wine) it is also read by the system and the helper's own reading, which
// must come to the same judgement.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/windows/trust.h"
#include "setup/windows/policy.h"
#include "tests/row_name.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <sddl.h>

#include "setup/windows/system.h"
#endif

namespace {

// The SDDL the table uses: owner, group (skipped), access list with its
// flags, entries of allow (A) and deny (D) with flags, rights and holders
// as letters or numbers. Returns false on anything else.
bool ReadSddl(const std::string& text, SetupSecurity* security) {
  struct Letters {
    const char* letters;
    uint32_t value;
  };
  static const char* const kAccounts[][2] = {
      {"BA", "S-1-5-32-544"}, {"SY", "S-1-5-18"}, {"BU", "S-1-5-32-545"}, {"WD", "S-1-1-0"},
      {"AU", "S-1-5-11"},     {"CO", "S-1-3-0"},  {"OW", "S-1-3-4"},
  };
  static const Letters kFlags[] = {{"OI", 0x1}, {"CI", 0x2}, {"NP", 0x4}, {"IO", 0x8}, {"ID", 0x10}};
  static const Letters kRights[] = {
      {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000}, {"SD", 0x10000},
      {"RC", 0x20000},    {"WD", 0x40000},    {"WO", 0x80000},    {"FA", 0x1F01FF},   {"FR", 0x120089},
      {"FW", 0x120116},   {"FX", 0x1200A0},   {"LC", 0x4},        {"CC", 0x1},        {"DC", 0x2},
  };
  auto account = [&](const std::string& name, char* out) {
    for (const auto& known : kAccounts) {
      if (name != known[0]) continue;
      strcpy(out, known[1]);
      return true;
    }
    if (name.rfind("S-1-", 0) != 0 || name.size() >= kSetupSidSize) return false;
    strcpy(out, name.c_str());
    return true;
  };
  auto letters = [](const std::string& field, const Letters* table, size_t count, uint32_t* value) {
    *value = 0;
    if (field.rfind("0x", 0) == 0) {
      *value = static_cast<uint32_t>(strtoul(field.c_str(), nullptr, 16));
      return true;
    }
    if (field.size() % 2 != 0) return false;
    for (size_t at = 0; at < field.size(); at += 2) {
      size_t i = 0;
      while (i < count && field.compare(at, 2, table[i].letters) != 0) ++i;
      if (i == count) return false;
      *value |= table[i].value;
    }
    return true;
  };
  *security = {};
  security->list = kAccessListAbsent;
  size_t at = 0;
  while (at < text.size()) {
    if (text.size() - at < 2 || text[at + 1] != ':') return false;
    char part = text[at];
    at += 2;
    size_t end = at;  // at the next part's letter, outside the entries
    for (int depth = 0; end < text.size(); ++end) {
      depth += text[end] == '(' ? 1 : text[end] == ')' ? -1 : 0;
      if (depth == 0 && end + 1 < text.size() && text[end + 1] == ':') break;
    }
    std::string value = text.substr(at, end - at);
    at = end;
    if (part == 'O') {
      if (!account(value, security->owner)) return false;
    } else if (part == 'D') {
      security->list = kAccessListPresent;
      size_t open = value.find('(');
      while (open != std::string::npos) {
        size_t close = value.find(')', open);
        if (close == std::string::npos || security->count == kSetupMaxEntries) return false;
        std::string fields[6];
        size_t field = 0, from = open + 1;
        for (size_t i = open + 1; i <= close; ++i) {
          if (value[i] != ';' && value[i] != ')') continue;
          if (field == 6) return false;
          fields[field++] = value.substr(from, i - from);
          from = i + 1;
        }
        SetupAccessEntry& entry = security->entries[security->count++];
        uint32_t flags = 0;
        entry.read = true;
        if (field != 6 || (fields[0] != "A" && fields[0] != "D")) return false;
        entry.type = fields[0] == "A" ? 0 : 1;
        if (!letters(fields[1], kFlags, sizeof kFlags / sizeof kFlags[0], &flags) ||
            !letters(fields[2], kRights, sizeof kRights / sizeof kRights[0], &entry.mask) ||
            !account(fields[5], entry.holder)) {
          return false;
        }
        entry.flags = static_cast<uint8_t>(flags);
        open = value.find('(', close);
      }
    } else if (part != 'G') {
      return false;
    }
  }
  return true;
}

const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const std::string setupUser = "S-1-5-21-1-2-3-1001", player = "S-1-5-21-1-2-3-1002";
const struct PolicyRow {
  const char* what;
  std::string descriptor;
  uint32_t counted;
  uint32_t onFiles = 0;  // kRightsThatChangeAFile in the chosen folder
  uint32_t rights;
  std::string holder;
  const wchar_t* who = L"";  // the holder in the refusal's words
} rows[] = {
      {.what = "Program Files",
       .descriptor = "O:" + installer + "D:PAI(A;;FA;;;" + installer + ")(A;CIIO;GA;;;" + installer +
                     ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
                     "(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)",
       .counted = kRightsThatCountAbove, .rights = 0, .holder = ""},
      {.what = "the game's folder under Program Files, all inherited",
       .descriptor = "O:BAD:AI(A;ID;FA;;;" + installer + ")(A;CIIOID;GA;;;" + installer +
                     ")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)"
                     "(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = 0, .holder = ""},
      {.what = "the drive's root, where Authenticated Users may make folders",
       .descriptor = "O:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                     "(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)",
       .counted = kRightsThatCountAtRoot, .rights = 0, .holder = ""},
      {.what = "a second drive's root, where Authenticated Users may change files",
       .descriptor = "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)",
       .counted = kRightsThatCountAtRoot, .rights = 0, .holder = ""},
      {.what = "C:\\Games above the folder: Authenticated Users Modify, inherited from the root",
       .descriptor = "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
                     "(A;OICIIOID;SDGXGWGR;;;AU)",
       .counted = kRightsThatCountAbove, .rights = kRightDelete, .holder = "S-1-5-11", .who = L"every signed-in user of this computer"},
      {.what = "the game's folder in C:\\Games, the same",
       .descriptor = "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1301bf;;;AU)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile,
       .rights = kRightDelete | kRightAddFile | kRightAddSubdirectory | kRightWriteEa | kRightWriteAttributes,
       .holder = "S-1-5-11", .who = L"every signed-in user of this computer"},
      {.what = "a player owns the folder: owners may always change the access list",
       .descriptor = "O:" + player + "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
       .counted = kRightsThatCountAbove, .rights = kRightWriteDac, .holder = player, .who = L"an account that this computer cannot name"},
      {.what = "the administrator running the setup owns it; CREATOR OWNER stands for nobody here",
       .descriptor = "O:" + setupUser + "D:P(A;;FA;;;" + setupUser + ")(A;;FA;;;CO)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = 0, .holder = ""},
      {.what = "inherit-only entries are for what is made inside, not a folder above",
       .descriptor = "O:BAD:P(A;OICIIO;FA;;;WD)(A;;0x1200a9;;;WD)",
       .counted = kRightsThatCountAbove, .rights = 0, .holder = ""},
      {.what = "but in the chosen folder Everyone would own the files that Setup makes there",
       .descriptor = "O:BAD:P(A;OICIIO;FA;;;WD)(A;;0x1200a9;;;WD)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = kRightsThatChangeAFile,
       .holder = "S-1-1-0", .who = L"Everyone"},
      {.what = "Authenticated Users Modify on files only, inherited from C:\\Games",
       .descriptor = "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;AU)(A;OIIOID;0x1301bf;;;AU)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile,
       .rights = kRightAddFile | kRightAddSubdirectory | kRightDelete, .holder = "S-1-5-11", .who = L"every signed-in user of this computer"},
      {.what = "subfolders only: no file of the setup's takes it",
       .descriptor = "O:BAD:P(A;OICI;FA;;;BA)(A;CIIO;FA;;;BU)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = 0, .holder = ""},
      {.what = "the accounts the installer trusts too (its table has the same row)",
       .descriptor = "O:" + std::string(kTrustedAccounts[2]) + "D:P(A;OICI;FA;;;" + kTrustedAccounts[0] +
                     ")(A;OICI;FA;;;" + kTrustedAccounts[1] + ")(A;OICI;FA;;;" + kTrustedAccounts[2] + ")",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = 0, .holder = ""},
      {.what = "OWNER RIGHTS stand for a trusted owner",
       .descriptor = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = 0, .holder = ""},
      {.what = "a deny entry is not counted on",
       .descriptor = "O:BAD:P(D;;FA;;;AU)(A;;0x1301bf;;;AU)",
       .counted = kRightsThatCountAbove, .rights = kRightDelete, .holder = "S-1-5-11", .who = L"every signed-in user of this computer"},
      {.what = "delete subfolders and files and take ownership, above",
       .descriptor = "O:BAD:P(A;;0x1200a9;;;BU)(A;;0x801e9;;;BU)",
       .counted = kRightsThatCountAbove, .rights = kRightDeleteChild | kRightWriteOwner, .holder = "S-1-5-32-545", .who = L"every user of this computer"},
      {.what = "generic all, mapped for files",
       .descriptor = "O:BAD:P(A;;GA;;;WD)",
       .counted = kRightsThatCountAtRoot, .rights = kRightsThatCountAtRoot, .holder = "S-1-1-0", .who = L"Everyone"},
      {.what = "generic write lets them add files to the folder",
       .descriptor = "O:BAD:P(A;;GW;;;BU)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile,
       .rights = kRightAddFile | kRightAddSubdirectory | kRightWriteEa | kRightWriteAttributes,
       .holder = "S-1-5-32-545", .who = L"every user of this computer"},
      {.what = "but replaces nothing from above",
       .descriptor = "O:BAD:P(A;;GW;;;BU)",
       .counted = kRightsThatCountAbove, .rights = 0, .holder = ""},
      {.what = "no access list at all: everyone may do everything",
       .descriptor = "O:BA",
       .counted = kRightsThatCountAbove, .rights = kRightsThatCountAbove, .holder = "S-1-1-0", .who = L"Everyone"},
      {.what = "Wine's folder of mode 0777",
       .descriptor = "O:" + setupUser + "G:S-1-5-21-1-2-3-513D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + setupUser +
                     ")(A;OICI;0x1301ff;;;WD)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile,
       .rights = kRightDelete | kRightDeleteChild | kRightAddFile | kRightAddSubdirectory | kRightWriteEa |
                 kRightWriteAttributes,
       .holder = "S-1-1-0", .who = L"Everyone"},
      {.what = "Wine's folder of mode 0755",
       .descriptor = "O:" + setupUser + "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + setupUser + ")(A;OICI;0x1200a9;;;WD)",
       .counted = kRightsThatCountInFolder, .onFiles = kRightsThatChangeAFile, .rights = 0, .holder = ""},
};
ROW_CASES(SetupFolderRightsTest, ::testing::Test, rows, what);
TEST_P(SetupFolderRightsTest, OnlyTheTrustedMayChangeTheFolderOrWhatLeadsToIt) {
  const PolicyRow& row = GetParam();
  SetupSecurity security;
  ASSERT_TRUE(ReadSddl(row.descriptor, &security)) << row.descriptor;
  char holder[96];
  memset(holder, 'x', sizeof holder);
  EXPECT_EQ(UntrustedFolderRights(&security, row.counted, row.onFiles, setupUser.c_str(), holder, sizeof holder), row.rights);
  EXPECT_EQ(holder, row.holder);
  if (row.rights != 0) {
    const SetupBlocker blocker = {L"D:\\Games", holder, L"", false, row.rights};
    wchar_t who[64];
    SetupSayWho(&blocker, who, 64);
    EXPECT_EQ(std::wstring(who), row.who);
  }
#ifdef _WIN32
  SCOPED_TRACE("as the system reads it");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(row.descriptor.c_str(), SDDL_REVISION_1,
                                                                   &descriptor, nullptr))
      << row.descriptor;
  SetupReadSecurity(descriptor, &security);
  LocalFree(descriptor);
  memset(holder, 'x', sizeof holder);
  EXPECT_EQ(UntrustedFolderRights(&security, row.counted, row.onFiles, setupUser.c_str(), holder, sizeof holder), row.rights);
  EXPECT_EQ(holder, row.holder);
#endif
}

}  // namespace
