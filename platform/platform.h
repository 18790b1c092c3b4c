// The operations through which the installer reaches the operating system.
//
// Each backend (platform/posix.cpp with platform/linux.cpp and the boxes of
// platform/posix_box*.cpp, platform/win32.cpp, and the scripted fake in
// tests/) implements every function below. Nothing outside platform/
// includes a system header; the logic speaks only through this interface.
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

// The process's whole command line as one 8-bit string, program name
// included, where the system keeps one (Windows); null where the program is
// handed an argument vector instead.
char* PlatformGetCommandLine();

// The lead-byte ranges of the system's ANSI code page: up to six pairs of
// (first, last) in ranges[0..11], ended by a pair of zeros. A single-byte
// code page gives none (ranges[0] == 0). Called once at start.
void PlatformGetLeadByteRanges(unsigned char ranges[12]);

// Whether the system's texts (command line, file names, boxes) are UTF-8. A
// cut never halves a UTF-8 character then; UTF-8 has no lead-byte ranges.
bool PlatformTextIsUtf8();

// The separator the installer joins paths with.
char PlatformPathSeparator();

// Whether a process currently holds the named game lock. The lock is looked
// for and let go at once; it is never created, waited on or owned. Any
// failure to look counts as "not held".
bool PlatformNamedMutexExists(const char* name);

// Writes the full path of the running program file into buffer (size bytes)
// and returns its length; returns size when the path was cut to fit. When
// the path cannot be had it returns 0 and sets *refusal: 0 where the
// installer goes on with paths relative to the current directory (Windows),
// otherwise the failure code with which the installation is refused.
uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size, uint32_t* refusal);

// Whether any entry, file or directory, matches the path. The level-set
// check of the flow, done by the platform itself.
bool FileExists(const char* path);

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
// *failure is the failure code.
bool PlatformCopyFile(const char* source, const char* target, uint32_t* failure);

// The system's text for the failure code of a copy of source onto target,
// allocated by the platform, or null when it has none. Released with
// PlatformFreeErrorText.
char* PlatformGetErrorText(uint32_t code, const char* source, const char* target);
void PlatformFreeErrorText(char* text);

// The failure code that says a file name is too long.
uint32_t PlatformNameTooLongError();

// Shows a modal message box with no owner and waits for it to be closed.
// Returns the answer, or kAnswerNone when no box could be shown.
int PlatformMessageBox(const char* text, const char* caption, uint32_t style);

#endif
