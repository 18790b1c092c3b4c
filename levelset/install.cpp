// Where level sets go and how they get there.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "dialogue/message.h"
#include "levelset/levelset.h"
#include "platform/platform.h"

namespace {

// The program directory: filled on the first call that succeeds and kept
// until the process ends.
char g_programDirectory[kPathBufferSize];
bool g_programDirectoryKnown = false;
// Why no path can be built under the program directory (the program file's
// path did not fit, or the platform refuses to go on without it); 0 when
// paths can be built.
uint32_t g_programPathRefusal = 0;

const char kCopyFailureCaption[] = "Error Installing Level Set";
const char kCopyFailureTemplate[] =
    "The Level Set: \"%s\" could not be installed, due to the following error:\n\t%s";

// Whether the last whole character of text is "/" or "\\"; a double-byte
// character never counts as a separator.
bool EndsInSeparator(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0';) {
    last = p;
    p += (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
  }
  return last && (*last == '/' || *last == '\\') && last[1] == '\0';
}

// Formats into a path buffer; false, with out empty, when it does not fit.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
bool FormatPath(char* out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = vsnprintf(out, kPathBufferSize, format, arguments);
  va_end(arguments);
  if (length < 0 || static_cast<uint32_t>(length) >= kPathBufferSize) {
    out[0] = '\0';
    return false;
  }
  return true;
}

void ReportCopyFailure(const char* source, uint32_t code) {
  char* systemText = PlatformGetErrorText(code);
  char fallback[64];
  const char* text = systemText;
  if (!text) {
    snprintf(fallback, sizeof fallback, "Error %lu (the system has no text for it).",
             static_cast<unsigned long>(code));
    text = fallback;
  }
  ShowMessage(kCopyFailureCaption, kBoxOk | kBoxIconInformation, kCopyFailureTemplate, source,
              text);
  if (systemText) PlatformFreeErrorText(systemText);
}

}  // namespace

bool FileExists(const char* path) { return PlatformFileExists(path); }

const char* GetProgramDirectory() {
  if (g_programDirectoryKnown) return g_programDirectory;

  uint32_t refusal = 0;
  uint32_t length = PlatformGetModuleFileName(g_programDirectory, kPathBufferSize, &refusal);
  if (length == 0) {
    g_programPathRefusal = refusal;
    g_programDirectory[0] = '\0';
    return g_programDirectory;
  }
  g_programDirectoryKnown = true;
  g_programPathRefusal = 0;
  if (length >= kPathBufferSize) {
    // Cut to fit: the directory it would give is not the program's own.
    g_programPathRefusal = PlatformNameTooLongError();
    g_programDirectory[0] = '\0';
    return g_programDirectory;
  }

  char drive[kDriveSize];
  char directory[kPartSize];
  SplitPath(g_programDirectory, drive, directory, nullptr, nullptr);
  char* out = g_programDirectory;
  if (drive[0] != '\0') {
    *out++ = drive[0];
    *out++ = ':';
  }
  size_t directoryLength = strlen(directory);
  memcpy(out, directory, directoryLength);
  out += directoryLength;
  if (directoryLength != 0 && !EndsInSeparator(directory)) *out++ = PlatformPathSeparator();
  *out = '\0';
  return g_programDirectory;
}

void ForgetProgramDirectory() {
  g_programDirectory[0] = '\0';
  g_programDirectoryKnown = false;
  g_programPathRefusal = 0;
}

bool GetLevelsDirectory(char* out) {
  const char* programDirectory = GetProgramDirectory();
  if (g_programPathRefusal != 0) {
    out[0] = '\0';
    return false;
  }
  return FormatPath(out, "%sLevels", programDirectory);
}

bool GetInstalledPath(const char* source, char* out) {
  const char* programDirectory = GetProgramDirectory();
  if (g_programPathRefusal != 0) {
    out[0] = '\0';
    return false;
  }
  char fileName[kPartSize];
  char extension[kPartSize];
  SplitPath(source, nullptr, nullptr, fileName, extension);
  // Only the file name is cleaned: the program directory and the extension
  // are taken as they are, so the copy lands in the Levels directory that
  // InstallLevelSet creates, whatever the game's directory is called.
  StripCopySuffix(fileName);
  DecodeSpaces(fileName);
  return FormatPath(out, "%sLevels%c%s%s", programDirectory, PlatformPathSeparator(), fileName,
                    extension);
}

bool IsAlreadyInstalled(const char* source) {
  char installedPath[kPathBufferSize];
  if (!GetInstalledPath(source, installedPath)) return false;
  // Where names differ by letter case, another case is another file.
  if (!PlatformNamesIgnoreCase()) return strcmp(installedPath, source) == 0;
  return EqualsIgnoreCase(installedPath, source);
}

bool InstallLevelSet(const char* source) {
  char levelsDirectory[kPathBufferSize];
  char installedPath[kPathBufferSize];
  // Both paths are built before anything is touched, so a name too long to
  // build is refused with nothing changed.
  if (!GetLevelsDirectory(levelsDirectory) || !GetInstalledPath(source, installedPath)) {
    ReportCopyFailure(source, g_programPathRefusal != 0 ? g_programPathRefusal
                                                         : PlatformNameTooLongError());
    return false;
  }
  PlatformCreateDirectory(levelsDirectory);
  if (FileExists(installedPath)) PlatformSetNormalAttributes(installedPath);
  if (!PlatformCopyFile(source, installedPath)) {
    uint32_t code = PlatformGetLastError();
    ReportCopyFailure(source, code);
    return false;
  }
  PlatformSetNormalAttributes(installedPath);
  return true;
}
