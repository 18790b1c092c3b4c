// The POSIX backend in process: the copy, the game lock, files, and what the
// message-box chain writes to a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_box.h"
#include "bytes/temporary_name.h"
#include "tests/posix/e2e_support.h"
#include "tests/texts.h"

namespace {

class TempDir {
 public:
  explicit TempDir(const std::string& base = "/tmp") {
    std::string pattern = base + "/qlm-posix-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() { RemoveTree(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ErrorText(uint32_t code) {
  char* text = PlatformGetErrorText(code);
  std::string result = text ? text : "(none)";
  PlatformFreeErrorText(text);
  return result;
}

TEST(EscapeTest, NothingReachesTheBoxRaw) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {.input = "Ocean Set", .expected = "Ocean Set"},
      {.input = "a\nb\tc", .expected = "a\nb\tc"},
      {.input = "\x1b[31mred", .expected = "\\x1b[31mred"},
      {.input = "a\rb", .expected = "a\\x0db"},
      {.input = "del\x7f\x1f", .expected = "del\\x7f\\x1f"},
      {.input = "\xc2\x85next\xc2\x9f", .expected = "\\xc2\\x85next\\xc2\\x9f"},  // U+0085, U+009F
      {.input = "\xc2\x9b" "2J", .expected = "\\xc2\\x9b2J"},             // U+009B, the 8-bit CSI
      {.input = "\xc2\xa0nbsp", .expected = "\xc2\xa0nbsp"},              // U+00A0 is printable
      {.input = "\xe3\x82\xbd.qlm", .expected = "\xe3\x82\xbd.qlm"},      // katakana so
      {.input = "\xff", .expected = "\\xff"},
      {.input = "\xc0\xaf", .expected = "\\xc0\\xaf"},                    // overlong "/"
      // An escape character spelled long in three and four bytes, and a
      // lead byte beyond U+10FFFF.
      {.input = "\xe0\x80\x9b\xf0\x80\x80\x9b\xf5\x80\x80\x80",
       .expected = "\\xe0\\x80\\x9b\\xf0\\x80\\x80\\x9b\\xf5\\x80\\x80\\x80"},
      {.input = "\xed\xa0\x80", .expected = "\\xed\\xa0\\x80"},           // a surrogate
      {.input = "\xe3\x82", .expected = "\\xe3\\x82"},                    // cut short at the end
      {.input = "\xe3\x82x", .expected = "\\xe3\\x82x"},
      {.input = "\xf4\x90\x80\x80", .expected = "\\xf4\\x90\\x80\\x80"},  // beyond U+10FFFF
      {.input = "\xf0\x9f\x8e\xae", .expected = "\xf0\x9f\x8e\xae"},      // an emoji
      // The right-to-left override that shows "\u202elmq.exe" as "exe.qlm".
      {.input = "\xe2\x80\xaelmq.exe", .expected = "\\xe2\\x80\\xaelmq.exe"},
      // U+061C, U+200E, U+200F, U+202A, U+2066, U+2069.
      {.input = "\xd8\x9c\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9",
       .expected = "\\xd8\\x9c\\xe2\\x80\\x8e\\xe2\\x80\\x8f\\xe2\\x80\\xaa\\xe2\\x81\\xa6\\xe2\\x81\\xa9"},
      // The line and paragraph separators, which GTK breaks a line at:
      // U+2028, U+2029.
      {.input = "a\xe2\x80\xa8[Y]es\xe2\x80\xa9", .expected = "a\\xe2\\x80\\xa8[Y]es\\xe2\\x80\\xa9"},
      // Invisible format characters, at each end of their ranges: U+00AD,
      // U+180E, U+200B, U+200D, U+2060, U+2064, U+206F, U+FEFF, U+FFFB,
      // the tags U+E0001 and U+E007F.
      {.input = "\xc2\xad\xe1\xa0\x8e\xe2\x80\x8b\xe2\x80\x8d\xe2\x81\xa0\xe2\x81\xa4\xe2\x81\xaf"
                "\xef\xbb\xbf\xef\xbf\xbb\xf3\xa0\x80\x81\xf3\xa0\x81\xbf",
       .expected = "\\xc2\\xad\\xe1\\xa0\\x8e\\xe2\\x80\\x8b\\xe2\\x80\\x8d\\xe2\\x81\\xa0\\xe2\\x81\\xa4"
                   "\\xe2\\x81\\xaf\\xef\\xbb\\xbf\\xef\\xbf\\xbb\\xf3\\xa0\\x80\\x81\\xf3\\xa0\\x81\\xbf"},
      // Letters and marks that renderers draw as nothing: U+034F, U+115F,
      // U+1160, U+17B4, U+17B5, U+3164, U+FFA0, as "Ocean" and a filler.
      {.input = "\xcd\x8f\xe1\x85\x9f\xe1\x85\xa0\xe1\x9e\xb4\xe1\x9e\xb5Ocean\xe3\x85\xa4\xef\xbe\xa0",
       .expected = "\\xcd\\x8f\\xe1\\x85\\x9f\\xe1\\x85\\xa0\\xe1\\x9e\\xb4\\xe1\\x9e\\xb5Ocean"
                   "\\xe3\\x85\\xa4\\xef\\xbe\\xa0"},
      // Their neighbours show as themselves: U+00AC, U+061B, U+200A, U+2027,
      // U+202F, U+2065, U+FE0F (which makes a character an emoji), U+FFFC,
      // U+E0080, the Hangul letters U+1161 and U+3165.
      {.input = "\xc2\xac\xd8\x9b\xe2\x80\x8a\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xef\xb8\x8f"
                "\xef\xbf\xbc\xf3\xa0\x82\x80\xe1\x85\xa1\xe3\x85\xa5",
       .expected = "\xc2\xac\xd8\x9b\xe2\x80\x8a\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xef\xb8\x8f"
                   "\xef\xbf\xbc\xf3\xa0\x82\x80\xe1\x85\xa1\xe3\x85\xa5"},
      {.input = "", .expected = ""},
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
  constexpr uint32_t kQuestion = kBoxYesNo | kBoxIconQuestion;
  constexpr uint32_t kRunning = kBoxRetryCancel | kBoxIconWarning;
  constexpr uint32_t kNotice = kBoxOk | kBoxIconInformation;
  constexpr uint32_t kRefusal = kBoxOk | kBoxIconStop;
  struct Case {
    uint32_t style;
    std::string line;
    int answer;
  };
  // Only a clear word answers a question: Enter alone, or a Yes followed by
  // anything else, asks again.
  const Case cases[] = {
      {.style = kQuestion, .line = "", .answer = kAnswerNone},
      {.style = kQuestion, .line = "y", .answer = kAnswerYes},
      {.style = kQuestion, .line = "Y", .answer = kAnswerYes},
      {.style = kQuestion, .line = "yes", .answer = kAnswerYes},
      {.style = kQuestion, .line = "NO", .answer = kAnswerNo},
      {.style = kQuestion, .line = " \tn\t \r", .answer = kAnswerNo},
      {.style = kQuestion, .line = "r", .answer = kAnswerNone},
      {.style = kQuestion, .line = "yess", .answer = kAnswerNone},
      {.style = kQuestion, .line = "ny", .answer = kAnswerNone},
      {.style = kQuestion, .line = "y" + std::string(200, ' ') + "nope", .answer = kAnswerNone},
      {.style = kRunning, .line = "", .answer = kAnswerNone},
      {.style = kRunning, .line = "r", .answer = kAnswerRetry},
      {.style = kRunning, .line = "c", .answer = kAnswerCancel},
      {.style = kRunning, .line = "Cancel", .answer = kAnswerCancel},
      {.style = kRunning, .line = "y", .answer = kAnswerNone},
      {.style = kNotice, .line = "", .answer = kAnswerOk},
      {.style = kRefusal, .line = "o", .answer = kAnswerOk},
      {.style = kRefusal, .line = "ok", .answer = kAnswerOk},
      {.style = kRefusal, .line = "n", .answer = kAnswerNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.style) + " '" + c.line + "'");
    EXPECT_EQ(c.answer, AnswerForLine(ButtonsForStyle(c.style), c.line.c_str()));
  }
  // Closing a box is no button: it answers as the box's way out.
  EXPECT_EQ(kAnswerNo, ButtonsForStyle(kQuestion).closeAnswer);
  EXPECT_EQ(kAnswerCancel, ButtonsForStyle(kRunning).closeAnswer);
  EXPECT_EQ(kAnswerOk, ButtonsForStyle(kNotice).closeAnswer);
  EXPECT_EQ(kAnswerOk, ButtonsForStyle(kRefusal).closeAnswer);
}

// What lies at the source's name.
enum class Source {
  kFile,
  kEmpty,
  kDirectory,
  kFifo,
  kMissing,
  kOwnLink,              // the player's link, by default to the file beside it
  kForeignLink,          // another user's link to the player's file (root only)
  kForeignLinkToTheirs,  // another user's link to a file of theirs (root only)
};
enum class Target { kNone, kOldFile, kReadOnlyOldFile, kDirectory, kSymlinkToSource, kHardLink };

struct CopyCase {
  const char* name;
  Source source = Source::kFile;
  mode_t sourceMode = 0644;
  bool elsewhere = false;  // the source on another file system (/dev/shm)
  const char* linkText = "real.qlm";  // what a link at the source's name holds
  Target target = Target::kNone;
  bool targetDirectoryExists = true;
  // Leftovers of the user's own in Levels, unchanged for long: each would be
  // cleared, but one install reads only kLeftoverEntriesRead entries.
  unsigned leftovers = 0;
  // The failure: one the backend found itself, or the system's, by its text.
  PlatformFailureKind kind = kFailureSystem;
  const char* error = nullptr;  // the system's text; null, and kind kFailureSystem: copied
};

TEST(CopyTest, ReplacesWholeOrLeavesAllAsItWas) {
  const std::string longName(NAME_MAX + 64, 'n');
  const CopyCase cases[] = {
      {.name = "a new copy"},
      {.name = "an empty level set", .source = Source::kEmpty},
      {.name = "a read-only private source", .sourceMode = 0400},
      {.name = "a set-uid program everyone may write", .sourceMode = 04777},
      {.name = "a source on another file system: no copy in the kernel", .elsewhere = true},
      {.name = "a read-only old copy is replaced", .sourceMode = 0640, .target = Target::kReadOnlyOldFile},
      {.name = "a directory as source",
       .source = Source::kDirectory,
       .target = Target::kOldFile,
       .error = "Is a directory"},
      {.name = "a pipe as source",
       .source = Source::kFifo,
       .target = Target::kOldFile,
       .kind = kFailureNotRegularFile},
      {.name = "a missing source",
       .source = Source::kMissing,
       .target = Target::kOldFile,
       .error = "No such file or directory"},
      {.name = "a link of the user's own", .source = Source::kOwnLink, .sourceMode = 0600},
      {.name = "a link that leads to itself",
       .source = Source::kOwnLink,
       .linkText = "Ocean%20Set.qlm",
       .error = "Too many levels of symbolic links"},
      {.name = "a link to a name too long",
       .source = Source::kOwnLink,
       .linkText = longName.c_str(),
       .error = "File name too long"},
      {.name = "another user's link to a file not theirs",
       .source = Source::kForeignLink,
       .sourceMode = 0600,
       .target = Target::kOldFile,
       .kind = kFailureForeignLink},
      {.name = "another user's link to a file of their own", .source = Source::kForeignLinkToTheirs},
      {.name = "Levels filled with names: the search for leftovers reads a bounded number",
       .leftovers = kLeftoverEntriesRead + 1000},
      {.name = "no directory for the target",
       .targetDirectoryExists = false,
       .error = "No such file or directory"},
      {.name = "a directory in the target's place", .target = Target::kDirectory, .error = "Is a directory"},
      {.name = "the target is a link to the source",
       .target = Target::kSymlinkToSource,
       .kind = kFailureSameFile},
      {.name = "the target is the source by another name",
       .target = Target::kHardLink,
       .kind = kFailureSameFile},
  };
  std::string skipped;
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.name);
    bool foreign = c.source == Source::kForeignLink || c.source == Source::kForeignLinkToTheirs;
    if (foreign && geteuid() != 0) {
      skipped += std::string("\n  ") + c.name + " (needs root)";
      continue;
    }
    TempDir dir;
    TempDir other("/dev/shm");
    std::string home = c.elsewhere ? other.path() : dir.path();
    std::string source = home + "/Ocean%20Set.qlm";
    std::string real = home + "/real.qlm";
    std::string levels = dir / "Levels";
    std::string target = levels + "/Ocean Set.qlm";
    std::string contents(3 << 20, '\0');
    for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(i * 7 + i / 4096);
    bool viaLink = c.source == Source::kOwnLink || foreign;
    switch (c.source) {
      case Source::kFile: WriteFile(source, contents); break;
      case Source::kEmpty: contents.clear(), WriteFile(source, ""); break;
      case Source::kDirectory: mkdir(source.c_str(), 0755); break;
      case Source::kFifo: mkfifo(source.c_str(), 0644); break;
      case Source::kMissing: break;
      case Source::kOwnLink:
      case Source::kForeignLink:
      case Source::kForeignLinkToTheirs:
        WriteFile(real, contents);
        EXPECT_EQ(0, symlink(c.linkText, source.c_str()));
        if (foreign) {
          EXPECT_EQ(0, lchown(source.c_str(), 65534, 65534));
        }
        if (c.source == Source::kForeignLinkToTheirs) {
          EXPECT_EQ(0, chown(real.c_str(), 65534, 65534));
        }
        break;
    }
    chmod((viaLink ? real : source).c_str(), c.sourceMode);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, source.c_str(), times, 0);
    int watch = WatchOpens(viaLink || c.source == Source::kMissing ? home : source);
    if (c.targetDirectoryExists) mkdir(levels.c_str(), 0755);
    switch (c.target) {
      case Target::kNone: break;
      case Target::kOldFile: WriteFile(target, "old"); break;
      case Target::kReadOnlyOldFile: WriteFile(target, "old"); chmod(target.c_str(), 0444); break;
      case Target::kDirectory: mkdir(target.c_str(), 0755); break;
      case Target::kSymlinkToSource: EXPECT_EQ(0, symlink(source.c_str(), target.c_str())); break;
      case Target::kHardLink: EXPECT_EQ(0, link(source.c_str(), target.c_str())); break;
    }
    for (unsigned i = 0; i < c.leftovers; ++i) {
      char name[kTemporaryNameLength + 1];
      MakeTemporaryName(i, name);
      int fd = open((levels + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(0, futimens(fd, times));
      close(fd);
    }
    std::vector<std::string> before = ListDirectory(levels);
    std::string targetBefore = ReadFile(target);

    mode_t mask = umask(077);
    PlatformFailure failure = {kFailureSystem, 0};
    bool copied = PlatformCopyFile(source.c_str(), target.c_str(), &failure);
    umask(mask);

    EXPECT_EQ(c.error == nullptr && c.kind == kFailureSystem, copied);
    // Only a regular file is opened: a device may act on being opened.
    bool opened = SawOpen(watch);
    if (c.source == Source::kDirectory || c.source == Source::kFifo) {
      EXPECT_FALSE(opened) << "opened a source that is no regular file";
    }
    if (copied) {
      EXPECT_EQ(contents, ReadFile(target));
      EXPECT_EQ(0644u, ModeOf(target)) << "a plain data file, whatever the source and umask";
      struct stat status;
      ASSERT_EQ(0, stat(target.c_str(), &status));
      EXPECT_EQ(1000000000, status.st_mtim.tv_sec) << "the copy keeps its last write time";
      std::vector<std::string> names = ListDirectory(levels);
      names.erase(std::remove_if(names.begin(), names.end(),
                                 [](const std::string& name) { return IsTemporaryName(name.c_str()); }),
                  names.end());
      EXPECT_EQ(std::vector<std::string>{"Ocean Set.qlm"}, names);
      // "." and ".." count among the entries read.
      size_t kept = ListDirectory(levels).size() - 1;
      if (c.leftovers > 0) {
        EXPECT_GE(kept + kLeftoverEntriesRead, c.leftovers) << "no more entries read than the bound";
        EXPECT_LE(kept + kLeftoverEntriesRead, c.leftovers + 2) << "every leftover within it cleared";
      } else {
        EXPECT_EQ(0u, kept);
      }
    } else {
      EXPECT_EQ(c.kind, failure.kind);
      if (c.error) {
        EXPECT_EQ(c.error, ErrorText(failure.code));
      }
      EXPECT_EQ(before, ListDirectory(levels)) << "a failed copy leaves no file behind";
      EXPECT_EQ(targetBefore, ReadFile(target));
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << "rows that cannot run here:" << skipped;
}

TEST(GameLockTest, OnlyALockHeldByTheUsersOwnGameMeansRunning) {
  // The lock is $XDG_RUNTIME_DIR/NAME in a runtime directory that is the
  // user's alone, /tmp/NAME-UID otherwise; in /tmp, or wherever others may
  // make names, only a regular file that the player owns is their game's.
  struct Case {
    const char* name;
    const char* runtime;  // "private" (the user's, 0700), "open" (the user's, 0755), "/tmp", "" (unset)
    // What is at the lock's name: "file", "none", "symlink" or "hard link"
    // to a held file, "fifo".
    const char* kind = "file";
    int lock = LOCK_EX;         // held by an open file of the test's: LOCK_EX, LOCK_SH or 0
    bool otherOwner = false;    // the file given to another user (root only)
    mode_t mode = 0600;         // the file's
    bool running = false;
  };
  const Case cases[] = {
      {.name = "no lock file", .runtime = "private", .kind = "none", .lock = 0},
      {.name = "a lock file left behind", .runtime = "private", .lock = 0},
      {.name = "a game holding the lock", .runtime = "private", .running = true},
      {.name = "a shared holder is no game", .runtime = "private", .lock = LOCK_SH},
      {.name = "another user's held lock in the runtime directory", .runtime = "private", .otherOwner = true},
      {.name = "a runtime directory that others may read is not one", .runtime = "open"},
      {.name = "XDG_RUNTIME_DIR=/tmp: another user's held lock there", .runtime = "/tmp", .otherOwner = true},
      {.name = "no runtime directory: the player's own held lock in /tmp", .runtime = "", .running = true},
      {.name = "no runtime directory: another user's held lock", .runtime = "", .otherOwner = true},
      {.name = "no runtime directory: a link to a held lock", .runtime = "", .kind = "symlink"},
      {.name = "no runtime directory: a hard link to a held file of the player's",
       .runtime = "",
       .kind = "hard link"},
      {.name = "no runtime directory: a pipe", .runtime = "", .kind = "fifo"},
      // Another user may have opened it, and moved it into the name.
      {.name = "no runtime directory: a held file of the player's that others may read",
       .runtime = "",
       .mode = 0644},
  };
  const char* saved = getenv("XDG_RUNTIME_DIR");
  std::string savedValue = saved ? saved : "";
  std::string name = "QovLockTest" + std::to_string(getpid());
  std::string skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.otherOwner && geteuid() != 0) {
      skipped += std::string("\n  ") + c.name + " (needs root)";
      continue;
    }
    TempDir dir;
    std::string runtime = c.runtime;
    if (runtime == "private" || runtime == "open") {
      runtime = dir / "run";
      ASSERT_EQ(0, mkdir(runtime.c_str(), 0700));
      chmod(runtime.c_str(), strcmp(c.runtime, "open") == 0 ? 0755 : 0700);
    }
    if (runtime.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::string path = runtime.empty() ? "/tmp/" + name + "-" + std::to_string(getuid()) : runtime + "/" + name;
    bool linked = strcmp(c.kind, "symlink") == 0 || strcmp(c.kind, "hard link") == 0;
    std::string held = linked ? dir / "held" : path;
    int fd = -1;
    if (strcmp(c.kind, "fifo") == 0) {
      ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
    } else if (strcmp(c.kind, "none") != 0) {
      fd = open(held.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(0, c.lock != 0 ? flock(fd, c.lock) : 0);
      ASSERT_EQ(0, c.otherOwner ? fchown(fd, 65534, 65534) : 0);
      ASSERT_EQ(0, fchmod(fd, c.mode));
    }
    if (strcmp(c.kind, "symlink") == 0) {
      ASSERT_EQ(0, symlink(held.c_str(), path.c_str()));
    } else if (strcmp(c.kind, "hard link") == 0) {
      ASSERT_EQ(0, link(held.c_str(), path.c_str()));
    }
    bool existed = Exists(path);

    EXPECT_EQ(c.running, PlatformGameLockHeld(name.c_str()));
    EXPECT_EQ(existed, Exists(path)) << "the check never creates the file";
    if (fd >= 0) close(fd);
    EXPECT_FALSE(PlatformGameLockHeld(name.c_str())) << "a lock let go";
    unlink(path.c_str());
  }
  if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
  else unsetenv("XDG_RUNTIME_DIR");
  if (!skipped.empty()) GTEST_SKIP() << "rows that cannot run here:" << skipped;
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
      {.path = dir / "file.qlm", .exists = true},
      {.path = dir / "folder.qlm", .exists = true},
      {.path = dir / "missing.qlm", .exists = false},
      {.path = dir / "dangling.qlm", .exists = false},
      {.path = "", .exists = false},
      {.path = dir / "*.qlm", .exists = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.exists, PlatformFileOrFolderExists(c.path.c_str()));
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
  uint32_t code = 0;
  ASSERT_LT(static_cast<size_t>(length), sizeof buffer);
  EXPECT_EQ(static_cast<uint32_t>(length), PlatformGetProgramPath(buffer, sizeof buffer, &code));
  EXPECT_STREQ(path, buffer);
  // One byte short of the terminator: cut, and not a byte written beyond.
  std::vector<char> cut(static_cast<size_t>(length) + 1, 'X');
  uint32_t size = static_cast<uint32_t>(length);
  EXPECT_EQ(size, PlatformGetProgramPath(cut.data(), size, &code)) << "a cut path says so";
  EXPECT_EQ(std::string(path, size - 1), cut.data());
  EXPECT_EQ('X', cut[size]);
}

}  // namespace
