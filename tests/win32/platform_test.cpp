// The Windows backend against the real system calls (run under Wine): what
// the logic relies on beyond the call itself.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/windows/trust.h"
#include "platform/windows/win32_identity.h"

namespace {

// A directory of its own under the system's temporary directory.
class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    directory_ = std::string(temp) + "levelset-platform-test-" + std::to_string(GetCurrentProcessId());
    PlatformCreateDirectory(directory_.c_str());
    ASSERT_TRUE(PlatformFileOrFolderExists(directory_.c_str()));
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
  uint32_t length = PlatformGetProgramPath(whole, sizeof whole, &code);
  EXPECT_TRUE(PlatformRelativePathsUsable()) << "Windows goes on without the path";
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, kPathBufferSize);
  EXPECT_EQ(strlen(whole), length);

  // Cut: the result is the buffer's size and the text is still terminated.
  char cut[8];
  memset(cut, 'x', sizeof cut);
  EXPECT_EQ(PlatformGetProgramPath(cut, sizeof cut, &code), sizeof cut);
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
    EXPECT_EQ(PlatformFileOrFolderExists(row.path.c_str()), row.exists);
  }
}

TEST_F(Win32PlatformTest, CopyReplacesAReadOnlyTargetOnceItsAttributesAreNormal) {
  // A folder whose path takes all but the target's name of the 260 bytes
  // the installer builds its paths in.
  const std::string deep = Path(std::string(kPathBufferSize - 11 - directory_.size(), 'd').c_str());
  const struct {
    const char* what;
    std::string source;
    std::string folder;
  } rows[] = {
      {.what = "plain names", .source = Path("a.qlm"), .folder = directory_},
      {.what = "a source in the device namespace", .source = "\\\\.\\" + Path("a.qlm"), .folder = directory_},
      {.what = "a source taken as it is", .source = "\\\\?\\" + Path("a.qlm"), .folder = directory_},
      {.what = "a target folder of 250 characters", .source = Path("a.qlm"), .folder = deep},
  };
  Write("a.qlm", "new level set");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string target = row.folder + "\\b.qlm";
    CreateDirectoryA(row.folder.c_str(), nullptr);
    HANDLE old = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(old, INVALID_HANDLE_VALUE);
    CloseHandle(old);
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    PlatformSetNormalAttributes(target.c_str());
    EXPECT_EQ(GetFileAttributesA(target.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    PlatformFailure failure = {kFailureSystem, 0};
    EXPECT_TRUE(PlatformCopyFile(row.source.c_str(), target.c_str(), &failure)) << failure.kind << " " << failure.code;
    EXPECT_EQ(Read(target.substr(directory_.size() + 1).c_str()), "new level set");
    EXPECT_EQ(Read("a.qlm"), "new level set");
    if (row.folder != directory_) {
      DeleteFileA(target.c_str());
      RemoveDirectoryA(row.folder.c_str());
    }
  }
}

TEST_F(Win32PlatformTest, FailedCopiesLeaveTheFilesAndHaveATextForTheirCode) {
  Write("a.qlm", "level set");
  const struct {
    const char* what;
    std::string source;
    std::string target;
    bool targetHeldOpen = false;  // by a program that lets nobody replace it
    PlatformFailureKind kind = kFailureSystem;
  } rows[] = {
      {.what = "missing source", .source = Path("b.qlm"), .target = Path("a.qlm")},
      {.what = "onto itself", .source = Path("a.qlm"), .target = Path("a.qlm")},
      {.what = "directory as source", .source = directory_, .target = Path("b.qlm")},
      {.what = "into a missing directory", .source = Path("a.qlm"),
       .target = Path("nowhere\\a.qlm")},
      {.what = "onto a file held open", .source = Path("a.qlm"), .target = Path("b.qlm"),
       .targetHeldOpen = true},
      {.what = "a device", .source = "\\\\.\\NUL", .target = Path("b.qlm"), .kind = kFailureNotRegularFile},
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
    EXPECT_EQ(failure.kind, row.kind);
    if (row.kind != kFailureSystem) continue;
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
  // The installer shows the text as the system gives it; the setup's
  // reports are one line.
  const struct {
    Win32LineEnd lineEnd;
    bool lineBreak;  // the text ends in CR LF
  } rows[] = {{.lineEnd = kWin32KeepLineEnd, .lineBreak = true}, {.lineEnd = kWin32DropLineEnd, .lineBreak = false}};
  for (const auto& row : rows) {
    wchar_t text[256];
    DWORD length = Win32ErrorText(ERROR_FILE_NOT_FOUND, text, 256, row.lineEnd);
    ASSERT_GT(length, 2u);
    EXPECT_EQ(wcscmp(text + length - 2, L"\r\n") == 0, row.lineBreak);
    EXPECT_NE(text[length - 1], L' ');
    EXPECT_EQ(Win32ErrorText(0x20001234u, text, 256, row.lineEnd), 0u);
  }
}

// The installer and the setup's helper trust the same accounts (the
// setup's policy table reads the same list) and compare names alike.
TEST_F(Win32PlatformTest, BothProgramsTrustTheSameAccountsAndNames) {
  Win32TokenSid buffer;
  char* self = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(Win32CurrentUser(&buffer), &self));
  const struct {
    std::string sid;
    bool trusted;
  } accounts[] = {
      {.sid = kTrustedAccounts[0], .trusted = true}, {.sid = kTrustedAccounts[1], .trusted = true},
      {.sid = kTrustedAccounts[2], .trusted = true}, {.sid = self, .trusted = true},
      {.sid = "S-1-1-0", .trusted = false},          {.sid = "S-1-5-32-545", .trusted = false},
      {.sid = "S-1-5-21-1-2-3-1002", .trusted = false},
  };
  LocalFree(self);
  for (const auto& row : accounts) {
    SCOPED_TRACE(row.sid);
    PSID sid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(row.sid.c_str(), &sid));
    EXPECT_EQ(Win32TrustedAccount(sid), row.trusted);
    LocalFree(sid);
  }
  const struct {
    const wchar_t* first;
    const wchar_t* second;
    bool same;
  } names[] = {
      {.first = L"\\\\?\\UNC\\server\\share\\a.qlm", .second = L"\\\\server\\share\\a.qlm", .same = true},
      {.first = L"\\\\?\\C:\\Games\\", .second = L"c:\\games", .same = true},
      {.first = L"\\\\.\\C:\\Games\\a.qlm", .second = L"C:\\Games\\a.qlm", .same = true},
      {.first = L"C:\\", .second = L"C:", .same = true},
      {.first = L"C:\\Games", .second = L"C:\\Game", .same = false},
      {.first = L"\\\\?\\UNC\\server\\share", .second = L"UNC\\server\\share", .same = false},
  };
  for (const auto& row : names) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.first)));
    EXPECT_EQ(Win32SameName(row.first, row.second), row.same);
  }
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

}  // namespace
