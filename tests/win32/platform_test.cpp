// The Windows backend against the real system calls (run under Wine): what
// the logic relies on beyond the call itself; and the setup's judgement of
// who may change a folder.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32_setup.h"

namespace {

// A directory of its own under the system's temporary directory.
class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    directory_ = std::string(temp) + "levelset-platform-test-" + std::to_string(GetCurrentProcessId());
    PlatformCreateDirectory(directory_.c_str());
    ASSERT_TRUE(PlatformFileExists(directory_.c_str()));
  }
  void TearDown() override {
    for (const char* name : {"a.qlm", "b.qlm"}) {
      std::string path = Path(name);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(directory_.c_str());
  }
  std::string Path(const char* name) const { return directory_ + "\\" + name; }
  void Write(const char* name, const std::string& contents) const {
    HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
  }
  std::string Read(const char* name) const {
    HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char buffer[256];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
  }

  std::string directory_;
};

TEST_F(Win32PlatformTest, ModuleFileNameIsWholeOrCutToTheBuffer) {
  char whole[kPathBufferSize];
  uint32_t code = 0;
  uint32_t length = PlatformGetModuleFileName(whole, sizeof whole, &code);
  EXPECT_TRUE(PlatformRelativePathsUsable()) << "Windows goes on without the path";
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, kPathBufferSize);
  EXPECT_EQ(strlen(whole), length);

  // Cut: the result is the buffer's size and the text is still terminated.
  char cut[8];
  memset(cut, 'x', sizeof cut);
  EXPECT_EQ(PlatformGetModuleFileName(cut, sizeof cut, &code), sizeof cut);
  EXPECT_EQ(cut[sizeof cut - 1], '\0');
  EXPECT_EQ(std::string(cut), std::string(whole, sizeof cut - 1));
}

TEST_F(Win32PlatformTest, FileExistsForFilesDirectoriesAndWildcards) {
  Write("a.qlm", "x");
  const struct {
    std::string path;
    bool exists;
  } rows[] = {
      {.path = Path("a.qlm"), .exists = true},
      {.path = Path("A.QLM"), .exists = true},
      {.path = directory_, .exists = true},
      {.path = Path("*.qlm"), .exists = true},
      {.path = Path("?.qlm"), .exists = true},
      {.path = Path("b.qlm"), .exists = false},
      {.path = Path("*.txt"), .exists = false},
      {.path = Path("nowhere\\a.qlm"), .exists = false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(PlatformFileExists(row.path.c_str()), row.exists);
  }
}

TEST_F(Win32PlatformTest, CopyReplacesAReadOnlyTargetOnceItsAttributesAreNormal) {
  Write("a.qlm", "new level set");
  Write("b.qlm", "old");
  ASSERT_TRUE(SetFileAttributesA(Path("b.qlm").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  PlatformSetNormalAttributes(Path("b.qlm").c_str());
  EXPECT_EQ(GetFileAttributesA(Path("b.qlm").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  PlatformFailure failure = {kFailureSystem, 0};
  EXPECT_TRUE(PlatformCopyFile(Path("a.qlm").c_str(), Path("b.qlm").c_str(), &failure));
  EXPECT_EQ(Read("b.qlm"), "new level set");
  EXPECT_EQ(Read("a.qlm"), "new level set");
}

TEST_F(Win32PlatformTest, FailedCopiesLeaveTheFilesAndHaveATextForTheirCode) {
  Write("a.qlm", "level set");
  const struct {
    const char* what;
    std::string source;
    std::string target;
    bool targetHeldOpen = false;  // by a program that lets nobody replace it
  } rows[] = {
      {.what = "missing source", .source = Path("b.qlm"), .target = Path("a.qlm")},
      {.what = "onto itself", .source = Path("a.qlm"), .target = Path("a.qlm")},
      {.what = "directory as source", .source = directory_, .target = Path("b.qlm")},
      {.what = "into a missing directory", .source = Path("a.qlm"),
       .target = Path("nowhere\\a.qlm")},
      {.what = "onto a file held open", .source = Path("a.qlm"), .target = Path("b.qlm"),
       .targetHeldOpen = true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (row.targetHeldOpen) {
      Write("b.qlm", "old");
      holder = CreateFileA(Path("b.qlm").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }
    PlatformFailure failure = {kFailureSystem, 0};
    EXPECT_FALSE(PlatformCopyFile(row.source.c_str(), row.target.c_str(), &failure));
    if (row.targetHeldOpen) {
      EXPECT_EQ(Read("b.qlm"), "old");
      CloseHandle(holder);
    }
    // Nothing of the copy is left beside the target.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(Path("*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_EQ(failure.kind, kFailureSystem) << "Windows reports the system's failures only";
    EXPECT_NE(failure.code, 0u);
    char* text = PlatformGetErrorText(failure.code);
    ASSERT_NE(text, nullptr);
    EXPECT_GT(strlen(text), 0u);
    PlatformFreeErrorText(text);
    EXPECT_EQ(Read("a.qlm"), "level set");
  }
}

TEST_F(Win32PlatformTest, ErrorTextsOfTheSystemAndNone) {
  char* tooLong = PlatformGetErrorText(PlatformNameTooLongError());
  ASSERT_NE(tooLong, nullptr);
  PlatformFreeErrorText(tooLong);
  // A code of an application's own (bit 29) has no system text.
  EXPECT_EQ(PlatformGetErrorText(0x20001234u), nullptr);
}

TEST_F(Win32PlatformTest, GameLockIsAMutexHeldByItsName) {
  EXPECT_FALSE(PlatformGameLockHeld("LevelsetPlatformTestLock"));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "LevelsetPlatformTestLock");
  ASSERT_NE(mutex, nullptr);
  EXPECT_TRUE(PlatformGameLockHeld("LevelsetPlatformTestLock"));
  // Looking must neither take it nor keep it open.
  EXPECT_TRUE(PlatformGameLockHeld("LevelsetPlatformTestLock"));
  CloseHandle(mutex);
  EXPECT_FALSE(PlatformGameLockHeld("LevelsetPlatformTestLock"));

  // Another kind of object under that name is no game.
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "LevelsetPlatformTestEvent");
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(PlatformGameLockHeld("LevelsetPlatformTestEvent"));
  CloseHandle(event);
}

TEST_F(Win32PlatformTest, LeadBytesAreThoseOfTheAnsiCodePage) {
  unsigned char ranges[12];
  memset(ranges, 0xEE, sizeof ranges);
  PlatformGetLeadByteRanges(ranges);
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(ranges[i], info.LeadByte[i]) << i;
  // Run with LEVELSET_EXPECT_ACP=932, the system must be Japanese, with the
  // lead bytes of Shift JIS.
  char expected[16] = {};
  if (GetEnvironmentVariableA("LEVELSET_EXPECT_ACP", expected, sizeof expected) != 0) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(expected)));
  }
  if (GetACP() == 932) {
    const unsigned char shiftJis[12] = {0x81, 0x9F, 0xE0, 0xFC};
    EXPECT_EQ(memcmp(ranges, shiftJis, sizeof ranges), 0);
  }
  // Every byte in a reported range is a lead byte of the code page.
  for (int pair = 0; pair < 6 && ranges[2 * pair] != 0; ++pair) {
    for (unsigned b = ranges[2 * pair]; b <= ranges[2 * pair + 1]; ++b) {
      EXPECT_TRUE(IsDBCSLeadByte(static_cast<BYTE>(b))) << b;
    }
  }
}

// Security descriptors as Windows gives them (in SDDL), judged for the
// folder the setup installs into, a folder above it or the drive's root.
TEST(SetupFolderRightsTest, OnlyTheTrustedMayChangeTheFolderOrWhatLeadsToIt) {
  const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const std::string setupUser = "S-1-5-21-1-2-3-1001", player = "S-1-5-21-1-2-3-1002";
  const struct {
    const char* what;
    std::string descriptor;
    uint32_t counted;
    uint32_t rights;
    std::string holder;
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
       .counted = kRightsThatCountInFolder, .rights = 0, .holder = ""},
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
       .counted = kRightsThatCountAbove, .rights = DELETE, .holder = "S-1-5-11"},
      {.what = "the game's folder in C:\\Games, the same",
       .descriptor = "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1301bf;;;AU)",
       .counted = kRightsThatCountInFolder,
       .rights = DELETE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES,
       .holder = "S-1-5-11"},
      {.what = "a player owns the folder: owners may always change the access list",
       .descriptor = "O:" + player + "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
       .counted = kRightsThatCountAbove, .rights = WRITE_DAC, .holder = player},
      {.what = "the administrator running the setup owns it; CREATOR OWNER stands for nobody here",
       .descriptor = "O:" + setupUser + "D:P(A;;FA;;;" + setupUser + ")(A;;FA;;;CO)",
       .counted = kRightsThatCountInFolder, .rights = 0, .holder = ""},
      {.what = "inherit-only entries are for what is made inside, not the folder",
       .descriptor = "O:BAD:P(A;OICIIO;FA;;;WD)(A;;0x1200a9;;;WD)",
       .counted = kRightsThatCountInFolder, .rights = 0, .holder = ""},
      {.what = "a deny entry is not counted on",
       .descriptor = "O:BAD:P(D;;FA;;;AU)(A;;0x1301bf;;;AU)",
       .counted = kRightsThatCountAbove, .rights = DELETE, .holder = "S-1-5-11"},
      {.what = "delete subfolders and files and take ownership, above",
       .descriptor = "O:BAD:P(A;;0x1200a9;;;BU)(A;;0x801e9;;;BU)",
       .counted = kRightsThatCountAbove, .rights = FILE_DELETE_CHILD | WRITE_OWNER, .holder = "S-1-5-32-545"},
      {.what = "generic all, mapped for files",
       .descriptor = "O:BAD:P(A;;GA;;;WD)",
       .counted = kRightsThatCountAtRoot, .rights = kRightsThatCountAtRoot, .holder = "S-1-1-0"},
      {.what = "generic write lets them add files to the folder",
       .descriptor = "O:BAD:P(A;;GW;;;BU)",
       .counted = kRightsThatCountInFolder,
       .rights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES,
       .holder = "S-1-5-32-545"},
      {.what = "but replaces nothing from above",
       .descriptor = "O:BAD:P(A;;GW;;;BU)",
       .counted = kRightsThatCountAbove, .rights = 0, .holder = ""},
      {.what = "no access list at all: everyone may do everything",
       .descriptor = "O:BA",
       .counted = kRightsThatCountAbove, .rights = kRightsThatCountAbove, .holder = "S-1-1-0"},
      {.what = "Wine's folder of mode 0777",
       .descriptor = "O:" + setupUser + "G:S-1-5-21-1-2-3-513D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + setupUser +
                     ")(A;OICI;0x1301ff;;;WD)",
       .counted = kRightsThatCountInFolder,
       .rights = DELETE | FILE_DELETE_CHILD | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_EA |
                 FILE_WRITE_ATTRIBUTES,
       .holder = "S-1-1-0"},
      {.what = "Wine's folder of mode 0755",
       .descriptor = "O:" + setupUser + "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + setupUser + ")(A;OICI;0x1200a9;;;WD)",
       .counted = kRightsThatCountInFolder, .rights = 0, .holder = ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(row.descriptor.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
        << row.descriptor;
    char holder[96];
    memset(holder, 'x', sizeof holder);
    EXPECT_EQ(UntrustedFolderRights(descriptor, row.counted, setupUser.c_str(), holder, sizeof holder), row.rights);
    EXPECT_EQ(holder, row.holder);
    LocalFree(descriptor);
  }
}

}  // namespace
