// The POSIX backend in process: the copy, the game lock, files, and what the
// message-box chain writes to a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_box.h"
#include "tests/posix/e2e_support.h"
#include "tests/texts.h"

namespace {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/qlm-posix-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
  }
  ~TempDir() { RemoveTree(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

mode_t ModeOf(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

std::string ErrorText(uint32_t code, const std::string& source, const std::string& target) {
  char* text = PlatformGetErrorText(code, source.c_str(), target.c_str());
  std::string result = text ? text : "(none)";
  PlatformFreeErrorText(text);
  return result;
}

TEST(EscapeTest, NothingReachesTheTerminalRaw) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {"Ocean Set", "Ocean Set"},
      {"a\nb\tc", "a\nb\tc"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {"a\rb", "a\\x0db"},
      {"del\x7f", "del\\x7f"},
      {"\xc2\x85next line", "\\xc2\\x85next line"},  // U+0085
      {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},             // U+009B, the 8-bit CSI
      {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},              // U+00A0 is printable
      {"\xe3\x82\xbd.qlm", "\xe3\x82\xbd.qlm"},      // katakana so
      {"\xff", "\\xff"},
      {"\xc0\xaf", "\\xc0\\xaf"},                    // overlong "/"
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},           // a surrogate
      {"\xe3\x82", "\\xe3\\x82"},                    // cut short at the end
      {"\xe3\x82x", "\\xe3\\x82x"},
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // beyond U+10FFFF
      {"\xf0\x9f\x8e\xae", "\xf0\x9f\x8e\xae"},      // an emoji
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    char* escaped = EscapeForTerminal(c.input);
    ASSERT_NE(nullptr, escaped);
    EXPECT_STREQ(c.expected, escaped);
    free(escaped);
  }
}

TEST(ButtonsTest, TypedAnswersPickButtons) {
  struct Case {
    uint32_t style;
    std::string line;
    int answer;
  };
  // Only a clear word answers a question: Enter alone, or a Yes followed by
  // anything else, asks again.
  const Case cases[] = {
      {0x24, "", kAnswerNone},       {0x24, "y", kAnswerYes},     {0x24, "Y", kAnswerYes},
      {0x24, "yes", kAnswerYes},     {0x24, "NO", kAnswerNo},     {0x24, " n \r", kAnswerNo},
      {0x24, "r", kAnswerNone},      {0x24, "yess", kAnswerNone}, {0x24, "ny", kAnswerNone},
      {0x24, "y" + std::string(200, ' ') + "nope", kAnswerNone},
      {0x35, "", kAnswerNone},       {0x35, "r", kAnswerRetry},   {0x35, "c", kAnswerCancel},
      {0x35, "Cancel", kAnswerCancel}, {0x35, "y", kAnswerNone},  {0x40, "", kAnswerOk},
      {0x10, "o", kAnswerOk},        {0x10, "ok", kAnswerOk},     {0x10, "n", kAnswerNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.style) + " '" + c.line + "'");
    EXPECT_EQ(c.answer, AnswerForLine(ButtonsForStyle(c.style), c.line.c_str()));
  }
}

TEST(ButtonsTest, ClosingABoxAnswersItsWayOut) {
  EXPECT_EQ(kAnswerNo, ButtonsForStyle(0x24).closeAnswer);
  EXPECT_EQ(kAnswerCancel, ButtonsForStyle(0x35).closeAnswer);
  EXPECT_EQ(kAnswerOk, ButtonsForStyle(0x40).closeAnswer);
  EXPECT_EQ(kAnswerOk, ButtonsForStyle(0x10).closeAnswer);
}

enum class Target { kNone, kOldFile, kReadOnlyOldFile, kDirectory, kSymlinkToSource, kHardLink };

struct CopyCase {
  const char* name;
  // "file", "empty", "directory", "fifo", "missing"; "link" to a file, made
  // by the test or, as "foreign link", by another user (root only)
  const char* sourceKind;
  mode_t sourceMode;
  Target target;
  bool targetDirectoryExists;
  bool succeeds;
  const char* errorText;  // with {S} and {T} for the two paths
};

// Whether the inotify instance saw its watched file opened.
bool SawOpen(int notify) {
  char events[4096];
  ssize_t got = read(notify, events, sizeof events);
  for (ssize_t at = 0; at < got;) {
    const inotify_event* event = reinterpret_cast<const inotify_event*>(events + at);
    if (event->mask & IN_OPEN) return true;
    at += static_cast<ssize_t>(sizeof *event + event->len);
  }
  return false;
}

TEST(CopyTest, ReplacesWholeOrLeavesAllAsItWas) {
  const CopyCase cases[] = {
      {"a new copy", "file", 0644, Target::kNone, true, true, ""},
      {"an empty level set", "empty", 0644, Target::kNone, true, true, ""},
      {"a read-only source", "file", 0444, Target::kNone, true, true, ""},
      {"a source everyone may write", "file", 0777, Target::kNone, true, true, ""},
      {"a private source", "file", 0600, Target::kNone, true, true, ""},
      {"a set-uid program", "file", 04755, Target::kNone, true, true, ""},
      {"an old copy is replaced", "file", 0640, Target::kOldFile, true, true, ""},
      {"a read-only old copy is replaced", "file", 0644, Target::kReadOnlyOldFile, true, true, ""},
      {"a directory as source", "directory", 0755, Target::kOldFile, true, false, "Is a directory"},
      {"a pipe as source", "fifo", 0644, Target::kOldFile, true, false,
       "'{S}' is not a regular file"},
      {"a missing source", "missing", 0644, Target::kOldFile, true, false,
       "No such file or directory"},
      {"a link of the user's own", "link", 0600, Target::kNone, true, true, ""},
      {"another user's link to a file not theirs", "foreign link", 0600, Target::kOldFile, true,
       false, "'{S}' is another user's link to a file that is not theirs"},
      {"no directory for the target", "file", 0644, Target::kNone, false, false,
       "No such file or directory"},
      {"a directory in the target's place", "file", 0644, Target::kDirectory, true, false,
       "Is a directory"},
      {"the target is a link to the source", "file", 0644, Target::kSymlinkToSource, true, false,
       "'{S}' and '{T}' are the same file"},
      {"the target is the source by another name", "file", 0644, Target::kHardLink, true, false,
       "'{S}' and '{T}' are the same file"},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string source = dir / "Ocean%20Set.qlm";
    std::string levels = dir / "Levels";
    std::string target = levels + "/Ocean Set.qlm";
    std::string contents(3 << 20, '\0');
    for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(i * 7 + i / 4096);
    bool viaLink = strstr(c.sourceKind, "link") != nullptr;
    if (strcmp(c.sourceKind, "foreign link") == 0 && geteuid() != 0) continue;
    if (strcmp(c.sourceKind, "file") == 0) WriteFile(source, contents);
    if (viaLink) {
      WriteFile(dir / "real", contents);
      chmod((dir / "real").c_str(), c.sourceMode);
      EXPECT_EQ(0, symlink((dir / "real").c_str(), source.c_str()));
      if (strcmp(c.sourceKind, "foreign link") == 0) {
        EXPECT_EQ(0, lchown(source.c_str(), 65534, 65534));
      }
    }
    if (strcmp(c.sourceKind, "empty") == 0) contents.clear(), WriteFile(source, "");
    if (strcmp(c.sourceKind, "directory") == 0) mkdir(source.c_str(), 0755);
    if (strcmp(c.sourceKind, "fifo") == 0) mkfifo(source.c_str(), 0644);
    if (Exists(source) && !viaLink) chmod(source.c_str(), c.sourceMode);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, source.c_str(), times, 0);
    int notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(notify, source.c_str(), IN_OPEN);
    if (c.targetDirectoryExists) mkdir(levels.c_str(), 0755);
    switch (c.target) {
      case Target::kNone: break;
      case Target::kOldFile: WriteFile(target, "old"); break;
      case Target::kReadOnlyOldFile: WriteFile(target, "old"); chmod(target.c_str(), 0444); break;
      case Target::kDirectory: mkdir(target.c_str(), 0755); break;
      case Target::kSymlinkToSource: EXPECT_EQ(0, symlink(source.c_str(), target.c_str())); break;
      case Target::kHardLink: EXPECT_EQ(0, link(source.c_str(), target.c_str())); break;
    }
    std::vector<std::string> before = ListDirectory(levels);
    std::string targetBefore = ReadFile(target);

    mode_t mask = umask(077);
    uint32_t failure = 0;
    bool copied = PlatformCopyFile(source.c_str(), target.c_str(), &failure);
    umask(mask);

    EXPECT_EQ(c.succeeds, copied);
    // Only a regular file is opened: a device may act on being opened.
    bool regular = strcmp(c.sourceKind, "directory") != 0 && strcmp(c.sourceKind, "fifo") != 0;
    if (!regular) {
      EXPECT_FALSE(SawOpen(notify)) << "opened a source that is no regular file";
    }
    close(notify);
    if (c.succeeds) {
      EXPECT_EQ(contents, ReadFile(target));
      EXPECT_EQ(0644u, ModeOf(target)) << "a plain data file, whatever the source and umask";
      struct stat status;
      ASSERT_EQ(0, stat(target.c_str(), &status));
      EXPECT_EQ(1000000000, status.st_mtim.tv_sec) << "the copy keeps its last write time";
      EXPECT_EQ(std::vector<std::string>{"Ocean Set.qlm"}, ListDirectory(levels));
    } else {
      std::string expected = c.errorText;
      for (size_t at; (at = expected.find("{S}")) != std::string::npos;) expected.replace(at, 3, source);
      for (size_t at; (at = expected.find("{T}")) != std::string::npos;) expected.replace(at, 3, target);
      EXPECT_EQ(expected, ErrorText(failure, source, target));
      EXPECT_EQ(before, ListDirectory(levels)) << "a failed copy leaves no file behind";
      EXPECT_EQ(targetBefore, ReadFile(target));
    }
  }
}

TEST(GameLockTest, OnlyAHeldLockMeansRunning) {
  struct Case {
    const char* name;
    bool fileExists;
    int lock;  // 0: none, LOCK_EX or LOCK_SH held by another open file
    bool running;
  };
  const Case cases[] = {
      {"no lock file", false, 0, false},
      {"a lock file left behind", true, 0, false},
      {"a game holding the lock", true, LOCK_EX, true},
      {"a shared holder is no game", true, LOCK_SH, false},
  };
  const char* saved = getenv("XDG_RUNTIME_DIR");
  std::string savedValue = saved ? saved : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    std::string path = dir / kGameLockName;
    int fd = -1;
    if (c.fileExists) fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (c.lock != 0) {
      ASSERT_EQ(0, flock(fd, c.lock));
    }
    EXPECT_EQ(c.running, PlatformNamedMutexExists(kGameLockName));
    EXPECT_EQ(c.fileExists, Exists(path)) << "the check never creates the file";
    if (fd >= 0) close(fd);
  }
  if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
  else unsetenv("XDG_RUNTIME_DIR");
}

TEST(GameLockTest, WithoutARuntimeDirectoryOnlyAFileOfTheUsersOwnInTmpCounts) {
  // Another user may make any name in /tmp first: only a regular file that
  // the player owns is their game's.
  struct Case {
    const char* name;
    const char* kind;  // "file", "symlink" to a held file, "fifo"
    bool otherOwner;   // needs root to give the file away
    bool running;
  };
  const Case cases[] = {
      {"the player's own held lock", "file", false, true},
      {"another user's held lock", "file", true, false},
      {"a link to a held lock", "symlink", false, false},
      {"a pipe", "fifo", false, false},
  };
  const char* saved = getenv("XDG_RUNTIME_DIR");
  std::string savedValue = saved ? saved : "";
  unsetenv("XDG_RUNTIME_DIR");
  std::string name = "QovLockTest" + std::to_string(getpid());
  std::string path = "/tmp/" + name + "-" + std::to_string(getuid());
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.otherOwner && geteuid() != 0) continue;
    std::string held = strcmp(c.kind, "symlink") == 0 ? dir / "held" : path;
    if (strcmp(c.kind, "fifo") == 0) {
      ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
    } else if (strcmp(c.kind, "symlink") == 0) {
      ASSERT_EQ(0, symlink(held.c_str(), path.c_str()));
    }
    int fd = -1;
    if (strcmp(c.kind, "fifo") != 0) {
      fd = open(held.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(0, flock(fd, LOCK_EX));
      if (c.otherOwner) {
        ASSERT_EQ(0, fchown(fd, 65534, 65534));
      }
    }
    EXPECT_EQ(c.running, PlatformNamedMutexExists(name.c_str()));
    if (fd >= 0) close(fd);
    EXPECT_FALSE(PlatformNamedMutexExists(name.c_str())) << "a lock let go";
    unlink(path.c_str());
    unlink(held.c_str());
  }
  if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
}

TEST(FilesTest, ExistenceAttributesAndTheProgramPath) {
  TempDir dir;
  WriteFile(dir / "file.qlm", "x");
  mkdir((dir / "folder.qlm").c_str(), 0755);
  ASSERT_EQ(0, symlink((dir / "nowhere").c_str(), (dir / "dangling.qlm").c_str()));
  struct Case {
    std::string path;
    bool exists;
  };
  const Case cases[] = {
      {dir / "file.qlm", true},     {dir / "folder.qlm", true}, {dir / "missing.qlm", false},
      {dir / "dangling.qlm", false}, {"", false},                {dir / "*.qlm", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.exists, FileExists(c.path.c_str()));
  }

  // Nothing is changed by path: the name may be another's file by now.
  chmod((dir / "file.qlm").c_str(), 0444);
  PlatformSetNormalAttributes((dir / "file.qlm").c_str());
  EXPECT_EQ(0444u, ModeOf(dir / "file.qlm"));

  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  ASSERT_GT(length, 0);
  path[length] = '\0';
  char buffer[kPathBufferSize];
  uint32_t refusal = 0;
  ASSERT_LT(static_cast<size_t>(length), sizeof buffer);
  EXPECT_EQ(static_cast<uint32_t>(length), PlatformGetModuleFileName(buffer, sizeof buffer, &refusal));
  EXPECT_STREQ(path, buffer);
  char small[8];
  EXPECT_EQ(8u, PlatformGetModuleFileName(small, sizeof small, &refusal)) << "a cut path says so";
  EXPECT_EQ(std::string(path, 7), small);
}

}  // namespace
