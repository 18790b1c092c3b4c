// The built installer as a user runs it: headless, at a terminal, with a
// game holding its lock, under a file-size limit, and many at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/posix/e2e_support.h"
#include "tests/row_name.h"
#include "tests/texts.h"

namespace {

// The boxes as a run with no display and no terminal writes them on
// standard error.
std::string Said(const Box& box) { return box.caption + "\n" + box.text + "\n\n"; }
std::string Question(const std::string& name) { return Said(QuestionBox(name)); }
std::string Done(const std::string& name) { return Said(DoneBox(name)); }
std::string Already(const std::string& name) { return Said(AlreadyBox(name)); }
std::string NotFound(const std::string& path) { return Said(NotFoundBox(path)); }
std::string Invalid(const std::string& path) { return Said(InvalidBox(path)); }
std::string Running() { return Said(RunningBox()); }
std::string CopyError(const std::string& path, const std::string& text) {
  return Said(CopyErrorBox(path, text));
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeGameDir(); }
  void TearDown() override { RemoveTree(dir_.root); }
  GameDir dir_;
};

// The sanitizers' own runtime needs /proc: a program built with them cannot
// run without it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// What a headless run is given and must give.
struct Headless {
  std::vector<std::string> arguments;
  std::string errors;     // standard error, whole
  int status = 0;
  std::string installed;  // the one name Levels must then hold; empty: Levels unchanged
  std::string untouched;  // a file outside Levels whose mode and contents must not change
  std::string source;     // the file the copy must hold; empty: the arguments joined
  std::string neverOpened;  // a file that nothing may open
  std::vector<std::string> kept;  // names Levels must hold besides the installed one
  std::function<void()> after;    // undoes what outlives the run (a mount, a lock)
  std::string cannotRun;          // why the row cannot run here, when it cannot
  RunOptions options;
};

struct HeadlessCase {
  const char* name;
  Headless (*prepare)(const GameDir& dir);  // makes the files, says what to expect
  bool needsRoot = false;                    // to give files to other users, or hide /proc
};

// A file of someone else's outside Levels, planted in the installed copy's
// place: a read-only set-uid program where the test may make one, a
// read-only file otherwise.
std::string PlantOutside(const GameDir& d) {
  std::string outside = d.root + "/outside";
  WriteFile(outside, "not a level set");
  chmod(outside.c_str(), geteuid() == 0 ? 04555 : 0444);
  mkdir(d.levels.c_str(), 0750);  // a Levels that is there keeps its mode
  WriteFile(d.source + "/Planted.qlm", "planted");
  return outside;
}

// Mounts a new file system of 1 MiB, made in image, at the folder at,
// nosuid as the desktop mounts a stick and hardening guides mount /home;
// h->after unmounts it. Where no loop mount can be made, h->cannotRun
// says so and false comes back.
bool MountNosuid(const std::string& image, const std::string& at, Headless* h) {
  mkdir(at.c_str(), 0755);
  std::string mount = "truncate -s 1M '" + image + "' && mkfs.ext2 -q '" + image +
                      "' && mount -o loop,nosuid,nodev '" + image + "' '" + at + "'";
  if (system(("{ " + mount + "; } >/dev/null 2>&1").c_str()) != 0) {
    h->cannotRun = "no loop mount here";
    return false;
  }
  chmod(at.c_str(), 0755);
  h->after = [at] { EXPECT_EQ(0, system(("umount '" + at + "'").c_str())); };
  return true;
}

// A run of path, a level set named name, refused: it leads to no level set.
Headless LeadsToNoLevelSet(const std::string& path, const std::string& name) {
  Headless h;
  h.arguments = {path};
  h.errors = Question(name) + CopyError(path, "'" + path + "' leads to a file that is not a level set");
  return h;
}

std::string Describe(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return "(none)";
  char mode[16];
  snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(status.st_mode));
  return std::string(mode) + " " + std::to_string(status.st_uid) + " " + ReadFile(path);
}

const HeadlessCase kHeadlessCases[] = {
      {.name = "the road of one request",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/Ocean%20Set[2].qlm", "ocean");
         Headless h;
         h.arguments = {d.source + "/Ocean%20Set[2].qlm"};
         h.errors = Question("Ocean Set") + Done("Ocean Set");
         h.status = 1;
         h.installed = "Ocean Set.qlm";
         return h;
       }},
      {.name = "a path that the shell split at its blanks, the first run under umask 077",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/Deep  Sea-2.qlm", "deep");
         Headless h;
         h.options.umask = 077;
         h.arguments = {d.source + "/Deep", "", "Sea-2.qlm"};
         h.errors = Question("Deep  Sea") + Done("Deep  Sea");
         h.status = 1;
         h.installed = "Deep  Sea.qlm";
         return h;
       }},
      {.name = "words with double quotes are one name, quotes and all; the first run under umask 000",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/Reef \"Set\".QLM", "reef");
         WriteFile(d.source + "/Set", "the file between the quotes");
         Headless h;
         h.options.umask = 0;
         h.arguments = {d.source + "/Reef", "\"Set\".QLM"};
         h.errors = Question("Reef \"Set\"") + Done("Reef \"Set\"");
         h.status = 1;
         h.installed = "Reef \"Set\".QLM";
         return h;
       }},
      // Another user's decoy, a name with a quoted path in it that names the
      // player's private file, gone by the time the installer looks: only
      // the name passed is ever installed.
      {.name = "a decoy name with a quoted path in it, gone",
       .prepare = [](const GameDir& d) {
         mkdir((d.root + "/priv").c_str(), 0700);
         WriteFile(d.root + "/priv/draft.qlm", "private");
         Headless h;
         h.arguments = {d.source + "/\"" + d.root + "/priv/draft.qlm\"/draft.qlm"};
         h.errors = NotFound(h.arguments[0]);
         return h;
       }},
      {.name = "a quoted path among other words",
       .prepare = [](const GameDir& d) {
         mkdir((d.root + "/priv").c_str(), 0700);
         WriteFile(d.root + "/priv/draft.qlm", "private");
         Headless h;
         h.arguments = {"--open", "\"" + d.root + "/priv/draft.qlm\"", "now"};
         h.errors = NotFound("--open \"" + d.root + "/priv/draft.qlm\" now");
         return h;
       }},
      {.name = "a file whose name holds double quotes is that file",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/a\"b.qlm\"c.qlm", "quoted");
         WriteFile(d.root + "/b.qlm", "the file between the quotes");
         Headless h;
         h.arguments = {d.source + "/a\"b.qlm\"c.qlm"};
         h.errors = Question("a\"b.qlm\"c") + Done("a\"b.qlm\"c");
         h.status = 1;
         h.installed = "a\"b.qlm\"c.qlm";
         return h;
       }},
      {.name = "two double quotes name no file",
       .prepare = [](const GameDir&) {
         Headless h;
         h.arguments = {"\"\""};
         h.errors = NotFound("\"\"");
         return h;
       }},
      {.name = "no arguments", .prepare = [](const GameDir&) { return Headless(); }},
      {.name = "a missing file",
       .prepare = [](const GameDir& d) {
         Headless h;
         h.arguments = {d.source + "/gone.qlm"};
         h.errors = NotFound(d.source + "/gone.qlm");
         return h;
       }},
      {.name = "a file of another type",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/notes.txt", "notes");
         Headless h;
         h.arguments = {d.source + "/notes.txt"};
         h.errors = Invalid(d.source + "/notes.txt");
         return h;
       }},
      {.name = "the installed copy itself",
       .prepare = [](const GameDir& d) {
         mkdir(d.levels.c_str(), 0755);
         WriteFile(d.levels + "/Ocean.qlm", "installed");
         Headless h;
         h.arguments = {d.levels + "/Ocean.qlm"};
         h.errors = Question("Ocean") + Already("Ocean");
         return h;
       }},
      {.name = "a levels directory in other letters is not Levels",
       .prepare = [](const GameDir& d) {
         mkdir((d.game + "/levels").c_str(), 0755);
         WriteFile(d.game + "/levels/Ocean.qlm", "elsewhere");
         Headless h;
         h.arguments = {d.game + "/levels/Ocean.qlm"};
         h.errors = Question("Ocean") + Done("Ocean");
         h.status = 1;
         h.installed = "Ocean.qlm";
         return h;
       }},
      {.name = "the installed copy by another path is copied onto itself and kept",
       .prepare = [](const GameDir& d) {
         mkdir(d.levels.c_str(), 0755);
         WriteFile(d.levels + "/Ocean.qlm", "installed");
         std::string other = d.game + "/./Levels/Ocean.qlm";
         Headless h;
         h.arguments = {other};
         h.errors = Question("Ocean") + CopyError(other, "'" + other + "' and '" + d.levels +
                                                            "/Ocean.qlm' are the same file");
         return h;
       }},
      {.name = "a directory named like a level set",
       .prepare = [](const GameDir& d) {
         mkdir((d.source + "/Folder.qlm").c_str(), 0755);
         Headless h;
         h.arguments = {d.source + "/Folder.qlm"};
         h.errors = Question("Folder") + CopyError(d.source + "/Folder.qlm", "Is a directory");
         return h;
       }},
      {.name = "a name that would take over the terminal, forge the question's lines or turn "
               "its letters round is shown escaped",
       .prepare = [](const GameDir& d) {
         const std::string name = "\x1b]0;owned\x07\xff\n[Y]es\tor \xe2\x80\xaelmq\xe2\x80\xa8"
                                  "[Y]es\xe2\x80\x8b";
         const std::string shown = "\\x1b]0;owned\\x07\\xff\\x0a[Y]es\\x09or \\xe2\\x80\\xaelmq"
                                   "\\xe2\\x80\\xa8[Y]es\\xe2\\x80\\x8b";
         WriteFile(d.source + "/" + name + ".qlm", "evil");
         Headless h;
         h.arguments = {d.source + "/" + name + ".qlm"};
         h.errors = Question(shown) + Done(shown);
         h.status = 1;
         h.installed = name + ".qlm";
         return h;
       }},
      {.name = "a lock file left behind by a game that ended",
       .prepare = [](const GameDir& d) {
         WriteFile(d.runtime + "/" + kGameLockName, "");
         WriteFile(d.source + "/Tide.qlm", "tide");
         Headless h;
         h.arguments = {d.source + "/Tide.qlm"};
         h.errors = Question("Tide") + Done("Tide");
         h.status = 1;
         h.installed = "Tide.qlm";
         return h;
       }},
      {.name = "a link planted in the copy's place changes nothing outside Levels",
       .prepare = [](const GameDir& d) {
         Headless h;
         h.untouched = PlantOutside(d);
         EXPECT_EQ(0, symlink(h.untouched.c_str(), (d.levels + "/Planted.qlm").c_str()));
         h.arguments = {d.source + "/Planted.qlm"};
         h.errors = Question("Planted") + Done("Planted");
         h.status = 1;
         h.installed = "Planted.qlm";
         return h;
       }},
      {.name = "a hard link planted in the copy's place changes nothing outside Levels",
       .prepare = [](const GameDir& d) {
         Headless h;
         h.untouched = PlantOutside(d);
         EXPECT_EQ(0, link(h.untouched.c_str(), (d.levels + "/Planted.qlm").c_str()));
         h.arguments = {d.source + "/Planted.qlm"};
         h.errors = Question("Planted") + Done("Planted");
         h.status = 1;
         h.installed = "Planted.qlm";
         return h;
       }},
      {.name = "a source swapped for a link to a pipe just before it is opened",
       .prepare = [](const GameDir& d) {
         Headless h;
         std::string source = d.source + "/Swapped.qlm", link = d.source + "/link";
         WriteFile(source, "swapped");
         h.neverOpened = d.source + "/pipe";
         EXPECT_EQ(0, mkfifo(h.neverOpened.c_str(), 0666));
         EXPECT_EQ(0, symlink(h.neverOpened.c_str(), link.c_str()));
         h.options.environment = {std::string("LD_PRELOAD=") + SWAP_PRELOAD,
                                  "LEVELSET_SWAP_NAME=" + source, "LEVELSET_SWAP_LINK=" + link};
         h.arguments = {source};
         h.errors = Question("Swapped") + CopyError(source, "'" + source + "' is not a regular file");
         return h;
       }},
      {.name = "a path through another user's link to the player's private folder",
       .prepare = [](const GameDir& d) {
         std::string theirs = d.root + "/mallory", mine = d.source + "/private";
         std::string path = theirs + "/share/mine.qlm";
         mkdir(theirs.c_str(), 0755);
         mkdir(mine.c_str(), 0700);
         WriteFile(mine + "/mine.qlm", "private");
         EXPECT_EQ(0, symlink(mine.c_str(), (theirs + "/share").c_str()));
         EXPECT_EQ(0, lchown((theirs + "/share").c_str(), 65534, 65534));
         EXPECT_EQ(0, chown(theirs.c_str(), 65534, 65534));
         Headless h;
         h.arguments = {path};
         h.errors = Question("mine") +
                    CopyError(path, "'" + path + "' is another user's link to a file that is not theirs");
         return h;
       },
       .needsRoot = true},
      {.name = "another player's own link, through root's link, to a third user's file",
       .prepare = [](const GameDir& d) {
         std::string theirs = d.root + "/theirs", system = d.root + "/system";
         std::string path = d.source + "/Tide.qlm";
         mkdir(theirs.c_str(), 0755);
         WriteFile(theirs + "/Tide.qlm", "tide");
         EXPECT_EQ(0, chown(theirs.c_str(), 12345, 12345));
         EXPECT_EQ(0, chown((theirs + "/Tide.qlm").c_str(), 12345, 12345));
         EXPECT_EQ(0, symlink(theirs.c_str(), system.c_str()));
         EXPECT_EQ(0, symlink((system + "/Tide.qlm").c_str(), path.c_str()));
         EXPECT_EQ(0, lchown(path.c_str(), 65534, 65534));
         mkdir(d.levels.c_str(), 0755);
         EXPECT_EQ(0, chown(d.levels.c_str(), 65534, 65534));
         Headless h;
         h.arguments = {path};
         h.errors = Question("Tide") + Done("Tide");
         h.status = 1;
         h.installed = "Tide.qlm";
         h.options.user = 65534;
         h.options.group = 65534;
         return h;
       },
       .needsRoot = true},
      {.name = "a link on a medium mounted nosuid, whatever owner it claims, to a file off it; "
               "a line break in its name shown escaped in the system's words too",
       .prepare = [](const GameDir& d) {
         Headless h;
         std::string stick = d.root + "/stick";
         std::string secret = d.root + "/secret.qlm", path = stick + "/Re\nef.qlm";
         std::string shown = stick + "/Re\\x0aef.qlm";
         if (!MountNosuid(d.root + "/stick.img", stick, &h)) return h;
         WriteFile(secret, "root's alone");
         chmod(secret.c_str(), 0600);
         EXPECT_EQ(0, symlink(secret.c_str(), path.c_str()));
         EXPECT_EQ(0, lchown(path.c_str(), 0, 0));
         h.arguments = {path};
         h.errors = Question("Re\\x0aef") +
                    CopyError(shown, "'" + shown + "' is another user's link to a file that is not theirs");
         return h;
       },
       .needsRoot = true},
      // The owner rule holds on such media too: a /home mounted nosuid
      // makes a link no less its owner's.
      {.name = "another user's link on a /home mounted nosuid to the player's private level set "
               "on it",
       .prepare = [](const GameDir& d) {
         Headless h;
         std::string home = d.root + "/home";
         if (!MountNosuid(d.root + "/home.img", home, &h)) return h;
         std::string victim = home + "/victim", mallory = home + "/mallory";
         std::string path = mallory + "/share/Ocean.qlm";
         mkdir(victim.c_str(), 0700);
         WriteFile(victim + "/private.qlm", "the player's alone");
         chmod((victim + "/private.qlm").c_str(), 0600);
         EXPECT_EQ(0, chown((victim + "/private.qlm").c_str(), 65534, 65534));
         EXPECT_EQ(0, chown(victim.c_str(), 65534, 65534));
         mkdir(mallory.c_str(), 0755);
         mkdir((mallory + "/share").c_str(), 0755);
         EXPECT_EQ(0, symlink((victim + "/private.qlm").c_str(), path.c_str()));
         for (const std::string& theirs : {path, mallory + "/share", mallory}) {
           EXPECT_EQ(0, lchown(theirs.c_str(), 12345, 12345));
         }
         mkdir(d.levels.c_str(), 0755);
         EXPECT_EQ(0, chown(d.levels.c_str(), 65534, 65534));
         h.arguments = {path};
         h.errors = Question("Ocean") +
                    CopyError(path, "'" + path + "' is another user's link to a file that is not theirs");
         h.options.user = 65534;
         h.options.group = 65534;
         return h;
       },
       .needsRoot = true},
      // What is published is the file the player meant: the file reached
      // after every link is named as a level set, and is no file of the
      // kernel's.
      {.name = "the player's own link, as an archive unpacks it, to their private key",
       .prepare = [](const GameDir& d) {
         std::string keys = d.root + "/.ssh", pack = d.source + "/LevelPack";
         std::string path = pack + "/Ocean.qlm";
         mkdir(keys.c_str(), 0700);
         WriteFile(keys + "/id_ed25519", "the player's key");
         chmod((keys + "/id_ed25519").c_str(), 0600);
         mkdir(pack.c_str(), 0755);
         EXPECT_EQ(0, symlink("../../.ssh/id_ed25519", path.c_str()));
         return LeadsToNoLevelSet(path, "Ocean");
       }},
      {.name = "the player's own link to the installer's environment",
       .prepare = [](const GameDir& d) {
         std::string path = d.source + "/Forest.qlm";
         EXPECT_EQ(0, symlink("/proc/self/environ", path.c_str()));
         return LeadsToNoLevelSet(path, "Forest");
       }},
      // A name of the kernel's that ends in .qlm: the loopback's statistics.
      {.name = "a file of the kernel's named as a level set",
       .prepare = [](const GameDir&) {
         Headless h = LeadsToNoLevelSet("/proc/self/net/dev_snmp6/l.qlm", "l");
         h.options.loopbackName = "l.qlm";
         if (system("unshare -n sh -c 'ip link set lo up && test -f /proc/self/net/dev_snmp6/lo' "
                    ">/dev/null 2>&1") != 0) {
           h.cannotRun = "no network namespace with IPv6 here";
         }
         return h;
       },
       .needsRoot = true},
      // One that any user may name, outside /proc and /sys.
      {.name = "a message queue named as a level set",
       .prepare = [](const GameDir& d) {
         std::string queues = d.root + "/mqueue", path = queues + "/Tide.qlm";
         Headless h = LeadsToNoLevelSet(path, "Tide");
         mkdir(queues.c_str(), 0755);
         if (mount("none", queues.c_str(), "mqueue", 0, nullptr) != 0) {
           h.cannotRun = "no message queues here";
           return h;
         }
         h.after = [queues] { EXPECT_EQ(0, umount(queues.c_str())); };
         WriteFile(path, "");
         return h;
       },
       .needsRoot = true},
      {.name = "no unnamed files where Levels is: a named temporary file, renamed; of what "
               "killed copies left, only the player's own that nobody writes is cleared",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/Reef.qlm", "reef");
         mkdir(d.levels.c_str(), 0755);
         auto leftover = [&](const std::string& digits) { return d.levels + "/.levelset-" + digits + ".tmp"; };
         auto age = [](const std::string& path) {
           struct timespec times[2] = {{.tv_sec = 1000000000, .tv_nsec = 0}, {.tv_sec = 1000000000, .tv_nsec = 0}};
           EXPECT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW));
         };
         Headless h;
         // Cleared: old, unlocked, one name, the player's.
         WriteFile(leftover("00000000000000c1"), "killed");
         age(leftover("00000000000000c1"));
         // Kept: written to within the minute; a hard link's; locked; a link
         // to a file of the player's; not a temporary file's name; a pipe;
         // another user's.
         WriteFile(leftover("00000000000000a1"), "being written");
         WriteFile(leftover("00000000000000a2"), "two names");
         EXPECT_EQ(0, link(leftover("00000000000000a2").c_str(), (d.levels + "/a2").c_str()));
         WriteFile(leftover("00000000000000a3"), "locked");
         int locked = open(leftover("00000000000000a3").c_str(), O_RDONLY | O_CLOEXEC);
         EXPECT_EQ(0, flock(locked, LOCK_EX));
         // A pipe, held open at both ends so that opening it would not wait.
         EXPECT_EQ(0, mkfifo(leftover("00000000000000a7").c_str(), 0600));
         int pipe = open(leftover("00000000000000a7").c_str(), O_RDWR | O_CLOEXEC);
         h.neverOpened = leftover("00000000000000a7");
         h.after = [locked, pipe] {
           close(locked);
           close(pipe);
         };
         WriteFile(d.root + "/mine", "the player's");
         EXPECT_EQ(0, symlink((d.root + "/mine").c_str(), leftover("00000000000000a4").c_str()));
         WriteFile(leftover("0000000000000a5"), "fifteen digits");
         for (const char* digits : {"00000000000000a2", "00000000000000a3", "00000000000000a4", "0000000000000a5", "00000000000000a7"}) {
           age(leftover(digits));
         }
         age(d.levels + "/a2");
         if (geteuid() == 0) {
           WriteFile(leftover("00000000000000a6"), "another user's");
           EXPECT_EQ(0, chown(leftover("00000000000000a6").c_str(), 65534, 65534));
           age(leftover("00000000000000a6"));
           h.kept.push_back(".levelset-00000000000000a6.tmp");
         }
         h.untouched = d.root + "/mine";
         h.kept.push_back("a2");
         for (const char* digits : {"00000000000000a1", "00000000000000a2", "00000000000000a3", "00000000000000a4", "0000000000000a5", "00000000000000a7"}) {
           h.kept.push_back(std::string(".levelset-") + digits + ".tmp");
         }
         h.options.environment = {std::string("LD_PRELOAD=") + SWAP_PRELOAD, "LEVELSET_NO_TMPFILE=1"};
         h.arguments = {d.source + "/Reef.qlm"};
         h.errors = Question("Reef") + Done("Reef");
         h.status = 1;
         h.installed = "Reef.qlm";
         return h;
       }},
      {.name = "without /proc the program's own directory is unknown: refused",
       .prepare = [](const GameDir& d) {
         WriteFile(d.source + "/Ocean.qlm", "ocean");
         Headless h;
         h.arguments = {d.source + "/Ocean.qlm"};
         h.errors = Question("Ocean") +
                    CopyError(d.source + "/Ocean.qlm", "No such file or directory");
         h.options.withoutProc = true;
         return h;
       },
       .needsRoot = true},
};
ROW_CASES(HeadlessRun, EndToEnd, kHeadlessCases, name);
TEST_P(HeadlessRun, SaysWhatHappenedOnStandardError) {
  const HeadlessCase& c = GetParam();
  if (c.needsRoot && geteuid() != 0) GTEST_SKIP() << "needs root";
  Headless h = c.prepare(dir_);
  if (!h.cannotRun.empty()) GTEST_SKIP() << h.cannotRun;
  if (h.options.withoutProc && kSanitized) GTEST_SKIP() << "the sanitizers need /proc";
  std::vector<std::string> levelsBefore = ListDirectory(dir_.levels);
  std::vector<std::string> rootBefore = ListDirectory(dir_.root);
  std::string untouchedBefore = Describe(h.untouched);
  unsigned levelsMode = Exists(dir_.levels) ? ModeOf(dir_.levels) : 0755;
  int watch = h.neverOpened.empty() ? -1 : WatchOpens(h.neverOpened);

  RunResult result = RunHeadless(dir_, h.arguments, h.options);
  if (h.after) h.after();

  EXPECT_EQ(h.status, result.status);
  EXPECT_EQ(h.errors, result.errors);
  if (watch >= 0) {
    EXPECT_FALSE(SawOpen(watch)) << h.neverOpened << " was opened";
  }
  if (!h.installed.empty()) {
    EXPECT_EQ(levelsMode, ModeOf(dir_.levels)) << "Levels made 0755 whatever the umask, or left";
    std::string installed = dir_.levels + "/" + h.installed;
    std::vector<std::string> names = h.kept;
    names.push_back(h.installed);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, ListDirectory(dir_.levels));
    std::string source = h.source;
    for (size_t i = 0; h.source.empty() && i < h.arguments.size(); ++i) {
      source += (i == 0 ? "" : " ") + h.arguments[i];
    }
    EXPECT_EQ(ReadFile(source), ReadFile(installed));
    struct stat status = {};
    lstat(installed.c_str(), &status);
    EXPECT_EQ(S_IFREG | 0644u, status.st_mode) << "a plain data file";
  } else {
    EXPECT_EQ(levelsBefore, ListDirectory(dir_.levels)) << "nothing may change";
  }
  EXPECT_EQ(rootBefore, ListDirectory(dir_.root)) << "nothing made outside Levels";
  EXPECT_EQ(untouchedBefore, Describe(h.untouched));
}

TEST_F(EndToEnd, AGameDirectoryHoldingPercent20GetsTheCopyInItsOwnLevels) {
  RemoveTree(dir_.root);
  dir_ = MakeGameDir("My%20Game");
  WriteFile(dir_.source + "/Ocean%20Set.qlm", "ocean");
  RunResult result = RunHeadless(dir_, {dir_.source + "/Ocean%20Set.qlm"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ocean", ReadFile(dir_.root + "/My%20Game/Levels/Ocean Set.qlm"));
  EXPECT_FALSE(Exists(dir_.root + "/My Game"));
}

TEST_F(EndToEnd, AHeadlessRunEndsWhileTheGameRuns) {
  WriteFile(dir_.source + "/Ocean.qlm", "ocean");
  GameLock game = HoldGameLock(dir_);
  RunResult result = RunHeadless(dir_, {dir_.source + "/Ocean.qlm"});
  Release(game);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(Question("Ocean") + Running(), result.errors);
  EXPECT_FALSE(Exists(dir_.levels));
}

TEST_F(EndToEnd, AFileSizeLimitLeavesTheOldCopyWhole) {
  mkdir(dir_.levels.c_str(), 0755);
  WriteFile(dir_.levels + "/Big.qlm", "the old copy");
  WriteFile(dir_.source + "/Big.qlm", std::string(4 << 20, 'n'));
  RunOptions options;
  options.fileSizeLimit = 1 << 20;
  RunResult result = RunHeadless(dir_, {dir_.source + "/Big.qlm"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(Question("Big") + CopyError(dir_.source + "/Big.qlm", "File too large"), result.errors);
  EXPECT_EQ("the old copy", ReadFile(dir_.levels + "/Big.qlm"));
  EXPECT_EQ(std::vector<std::string>{"Big.qlm"}, ListDirectory(dir_.levels));
}

TEST_F(EndToEnd, SixteenInstallersOntoOneNameLeaveOneWholeCopy) {
  const int kCount = 16;
  const size_t kSize = 2 << 20;
  std::vector<std::string> contents;
  for (int i = 0; i < kCount; ++i) {
    std::string folder = dir_.source + "/" + std::to_string(i);
    mkdir(folder.c_str(), 0755);
    contents.push_back(std::string(kSize, static_cast<char>('a' + i)));
    WriteFile(folder + "/Storm-" + std::to_string(i) + ".qlm", contents.back());
  }
  std::vector<pid_t> pids(kCount);
  std::vector<int> errorFds(kCount);
  for (int i = 0; i < kCount; ++i) {
    std::string path = dir_.source + "/" + std::to_string(i) + "/Storm-" + std::to_string(i) + ".qlm";
    pids[i] = StartHeadless(dir_, {path}, &errorFds[i]);
  }
  for (int i = 0; i < kCount; ++i) {
    SCOPED_TRACE(i);
    RunResult result = WaitFor(pids[i], errorFds[i]);
    EXPECT_EQ(1, result.status) << result.errors;
  }
  std::string installed = ReadFile(dir_.levels + "/Storm.qlm");
  bool whole = false;
  for (const std::string& one : contents) whole = whole || installed == one;
  EXPECT_TRUE(whole) << "the installed copy is a mix or cut short";
  EXPECT_EQ(std::vector<std::string>{"Storm.qlm"}, ListDirectory(dir_.levels));
}

struct TerminalCase {
  const char* name;
  std::vector<std::string> keys;  // typed after each prompt, in order
  int status = 0;
  bool installed = false;
};
const TerminalCase kTerminalCases[] = {
      {.name = "No", .keys = {"n\n"}},
      {.name = "Yes, then OK", .keys = {"Y\n", "\n"}, .status = 1, .installed = true},
      {.name = "Enter alone asks again, then OK takes it",
       .keys = {"\n", "yes\n", "\n"},
       .status = 1,
       .installed = true},
      {.name = "a wrong answer asks again", .keys = {"maybe\n", "no\n"}},
      {.name = "a line is judged whole", .keys = {"y" + std::string(300, ' ') + "nope\n", "n\n"}},
      {.name = "a line holding a NUL is no answer",
       .keys = {std::string("y\0es, wait: NO\n", 15), "n\n"}},
      {.name = "the end of input answers No", .keys = {"\x04"}},
};
ROW_CASES(AtATerminal, EndToEnd, kTerminalCases, name);
TEST_P(AtATerminal, TheUserAnswers) {
  const TerminalCase& c = GetParam();
  WriteFile(dir_.source + "/Ocean%20Set[2].qlm", "ocean");
  TerminalRun run = StartAtTerminal(dir_, {dir_.source + "/Ocean%20Set[2].qlm"});
  ASSERT_TRUE(WaitForText(run, "\"Ocean Set\" into your Quillomar game?")) << run.screen;
  size_t from = 0;
  for (const std::string& keys : c.keys) {
    ASSERT_TRUE(WaitForText(run, ": ", from)) << run.screen;
    from = run.screen.size();
    Type(run, keys);
    // Past the echo of what was typed, and no further: the next prompt may
    // already have come in the same read.
    ASSERT_TRUE(WaitForText(run, "\n", from, 5)) << run.screen;
    from = run.screen.find('\n', from) + 1;
  }
  EXPECT_EQ(c.status, Finish(run)) << run.screen;
  EXPECT_EQ(c.installed, Exists(dir_.levels + "/Ocean Set.qlm"));
}

TEST_F(EndToEnd, AtATerminalRetryWaitsUntilTheGameHasEnded) {
  WriteFile(dir_.source + "/Ocean.qlm", "ocean");
  GameLock game = HoldGameLock(dir_);
  TerminalRun run = StartAtTerminal(dir_, {dir_.source + "/Ocean.qlm"});
  ASSERT_TRUE(WaitForText(run, "[Y]es / [N]o: ")) << run.screen;
  Type(run, "y\n");
  ASSERT_TRUE(WaitForText(run, "[R]etry / [C]ancel: ")) << run.screen;
  size_t firstWarning = run.screen.size();
  Type(run, "r\n");
  // Still running: the warning comes again.
  ASSERT_TRUE(WaitForText(run, "[R]etry / [C]ancel: ", firstWarning)) << run.screen;
  EXPECT_FALSE(Exists(dir_.levels + "/Ocean.qlm"));
  Release(game);
  size_t secondWarning = run.screen.size();
  Type(run, "R\n");
  ASSERT_TRUE(WaitForText(run, "has been installed", secondWarning)) << run.screen;
  ASSERT_TRUE(WaitForText(run, "[O]K: ", secondWarning)) << run.screen;
  Type(run, "\n");
  EXPECT_EQ(1, Finish(run));
  EXPECT_EQ("ocean", ReadFile(dir_.levels + "/Ocean.qlm"));
}

TEST_F(EndToEnd, AtATerminalCancelLeavesEverythingAlone) {
  WriteFile(dir_.source + "/Ocean.qlm", "ocean");
  GameLock game = HoldGameLock(dir_);
  TerminalRun run = StartAtTerminal(dir_, {dir_.source + "/Ocean.qlm"});
  ASSERT_TRUE(WaitForText(run, "[Y]es / [N]o: ")) << run.screen;
  Type(run, "y\n");
  ASSERT_TRUE(WaitForText(run, "Quillomar is Running\r\n")) << run.screen;
  ASSERT_TRUE(WaitForText(run, "[R]etry / [C]ancel: ")) << run.screen;
  Type(run, "c\n");
  EXPECT_EQ(0, Finish(run));
  Release(game);
  EXPECT_FALSE(Exists(dir_.levels));
}

}  // namespace
