// The operations through which the installer reaches the operating system.
//
// Each backend (platform/posix/, platform/windows/, and the scripted fake
// in tests/) implements every function below, but for those said to be one
// system's own. Nothing outside platform/ includes a system header; the
// logic speaks only through this interface.
#ifndef LEVELSET_PLATFORM_PLATFORM_H
#define LEVELSET_PLATFORM_PLATFORM_H

#include <cstdint>

// Message-box styles and answers, with the values of the Windows message box.
// The Windows backend passes them through; the others translate them.
constexpr uint32_t kBoxOk = 0x00;
constexpr uint32_t kBoxYesNo = 0x04;
constexpr uint32_t kBoxRetryCancel = 0x05;
constexpr uint32_t kBoxButtonsMask = 0x0F;

constexpr uint32_t kBoxIconStop = 0x10;
constexpr uint32_t kBoxIconQuestion = 0x20;
constexpr uint32_t kBoxIconWarning = 0x30;
constexpr uint32_t kBoxIconInformation = 0x40;
constexpr uint32_t kBoxIconMask = 0xF0;

constexpr int kAnswerNone = 0;  // the box could not be shown
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerRetry = 4;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// Size of every whole path the installer builds, terminator included.
constexpr uint32_t kPathBufferSize = 260;

// Why an operation failed: a failure the system reports (its code says
// what), or one that the backend found itself. The logic chooses the words
// for each; the backend only reports.
enum PlatformFailureKind : uint32_t {
  kFailureSystem = 0,      // the system's own failure; code is the system's
  kFailureSameFile,        // the target is the source itself under another name
  kFailureNotRegularFile,  // the source is no regular file (a device, a pipe...)
  kFailureSourceReplaced,  // the source's name stood for another file once opened
  kFailureForeignLink,     // the source's path leads through another user's link
                           // to a file that is not theirs
  kFailureNotLevelSet,     // the file that the source's links lead to is no level
                           // set: its own name does not end in ".qlm", or it is the
                           // system's (/proc, /sys)
};

struct PlatformFailure {
  PlatformFailureKind kind;
  uint32_t code;  // the system's code when kind is kFailureSystem; 0 otherwise
};

// The process's whole command line as one 8-bit string, program name
// included, and for each of its bytes whether it stands for a character
// that has no exact form in the system's code page ("?" in the text
// there). Only where the system keeps one (Windows): the POSIX entry is
// handed its arguments instead, and has no such function.
struct PlatformCommandLine {
  char* text;
  const bool* inexact;  // inexact[i] belongs to text[i]
};
PlatformCommandLine PlatformGetCommandLine();

// The lead-byte ranges of the system's ANSI code page: up to six pairs of
// (first, last) in ranges[0..11], ended by a pair of zeros. A single-byte
// code page gives none (ranges[0] == 0). Called once at start.
void PlatformGetLeadByteRanges(unsigned char ranges[12]);

// Whether the system's texts (command line, file names, boxes) are UTF-8. A
// cut never halves a UTF-8 character then; UTF-8 has no lead-byte ranges.
bool PlatformTextIsUtf8();

// The separator the installer joins paths with.
char PlatformPathSeparator();

// Whether a running game holds the named game lock (a named mutex on
// Windows, a locked file on POSIX). The lock is looked for and let go at
// once; it is never created, waited on or owned. Any failure to look counts
// as "not held".
bool PlatformGameLockHeld(const char* name);

// Writes the full path of the running program file into buffer (size bytes)
// and returns its length; returns size when the path was cut to fit. When
// the path cannot be had it returns 0 and sets *code to the system's code
// for why (never 0 where relative paths are not usable).
uint32_t PlatformGetProgramPath(char* buffer, uint32_t size, uint32_t* code);

// Whether the installer may go on with paths relative to the current
// directory when the program file's path cannot be had. Windows: yes (the
// loader knows the program's path, so only a failure that does not happen
// in practice gets there). POSIX: no; the path
// comes from /proc, which a chroot or a container may lack, and a program
// started from anywhere would install where no game looks.
bool PlatformRelativePathsUsable();

// Whether any entry, file or directory, matches the path.
bool PlatformFileOrFolderExists(const char* path);

// Whether file names that differ only in ASCII letter case name one file.
bool PlatformNamesIgnoreCase();

// Creates one directory with default permissions, if it can.
void PlatformCreateDirectory(const char* path);

// Leaves an existing file with normal attributes (writable, not hidden), if
// it can; on Windows only a file with no other name that is no link, so that
// no name planted in Levels hands the change to a file elsewhere. On POSIX
// it changes nothing: the copy gives the new file its mode through its own
// descriptor, and the rename replaces a read-only old copy without touching
// it.
void PlatformSetNormalAttributes(const char* path);

// Copies source onto target, replacing any file there as a name (a link
// there is never written through): the copy is made beside the target and
// renamed over it when whole. On failure the target is as it was and
// *failure says why.
bool PlatformCopyFile(const char* source, const char* target, PlatformFailure* failure);

// The system's own text for one of its failure codes, allocated by the
// platform, or null when it has none. Released with PlatformFreeErrorText.
char* PlatformGetErrorText(uint32_t code);
void PlatformFreeErrorText(char* text);

// The system's failure code that says a file name is too long.
uint32_t PlatformNameTooLongError();

// Shows a modal message box with no owner and waits for it to be closed.
// Returns the answer, or kAnswerNone when no box could be shown.
int PlatformMessageBox(const char* text, const char* caption, uint32_t style);

#endif
