// Running the built installer as a user would, in a game directory of its
// own under a temporary folder.
#ifndef LEVELSET_TESTS_POSIX_E2E_SUPPORT_H
#define LEVELSET_TESTS_POSIX_E2E_SUPPORT_H

#include <sys/types.h>

#include <string>
#include <vector>

// A temporary tree: root/game holds a copy of the installer, root/src the
// level sets to open, root/run the runtime directory with the game lock.
struct GameDir {
  std::string root;
  std::string game;
  std::string installer;
  std::string levels;
  std::string source;
  std::string runtime;
};

// gameName may hold "%20" or blanks. The tree is open to every user, and is
// made under TMPDIR only where other users can reach it. Fails the current
// test on error.
GameDir MakeGameDir(const std::string& gameName = "Quillomar");
// Whether every directory above path lets other users through.
bool OpenToOthers(const std::string& path);
void RemoveTree(const std::string& path);

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The permission bits of what path names (links followed), 0 when nothing.
unsigned ModeOf(const std::string& path);
// Watches path for being opened, from now on; SawOpen then says whether it
// was, by any process, and ends the watch.
int WatchOpens(const std::string& path);
bool SawOpen(int watch);
// Names in a directory, "." and ".." left out, sorted.
std::vector<std::string> ListDirectory(const std::string& path);

struct RunOptions {
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE for the installer, bytes
  // Run as this user and group instead of the test's own (-1: unchanged).
  uid_t user = static_cast<uid_t>(-1);
  gid_t group = static_cast<gid_t>(-1);
  bool withoutProc = false;  // /proc hidden, as in a container without it (root only)
  // Not empty: the installer runs in a network namespace of its own whose
  // loopback, up, has this name, as /proc/self/net/dev_snmp6 shows it
  // (root only).
  std::string loopbackName;
  int umask = -1;            // the installer's umask (-1: the test's own)
  std::vector<std::string> environment;  // NAME=value, added to the installer's
};

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string errors;  // what the installer wrote on standard error
};

// Runs the installer with no display, no terminal and standard input empty:
// every box goes to standard error and answers 0.
RunResult RunHeadless(const GameDir& dir, const std::vector<std::string>& arguments,
                      const RunOptions& options = RunOptions());

// Starts the installer without waiting; see WaitFor.
pid_t StartHeadless(const GameDir& dir, const std::vector<std::string>& arguments,
                    int* errorsFd, const RunOptions& options = RunOptions());
RunResult WaitFor(pid_t pid, int errorsFd);

// The installer at a pseudo-terminal, answered by the test.
struct TerminalRun {
  pid_t pid = -1;
  int master = -1;
  std::string screen;  // everything the installer wrote so far
};
TerminalRun StartAtTerminal(const GameDir& dir, const std::vector<std::string>& arguments);
// Reads until the screen holds text after offset `from`; false on timeout.
bool WaitForText(TerminalRun& run, const std::string& text, size_t from = 0, int seconds = 20);
void Type(TerminalRun& run, const std::string& keys);
// Closes the terminal's input side and waits for the end.
int Finish(TerminalRun& run);

// Holds the game's lock as a running game does, until Release.
struct GameLock {
  int fd = -1;
};
GameLock HoldGameLock(const GameDir& dir);
void Release(GameLock& lock);

#endif
