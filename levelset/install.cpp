// Where level sets go and how they get there.
#include "levelset/levelset.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "text/codepage.h"
#include "text/message.h"

namespace {

const char kCopyFailureCaption[] = "Error Installing Level Set";
const char kCopyFailureTemplate[] =
    "The Level Set: \"%s\" could not be installed, due to the following error:\n\t%s";

// Whether the last whole character of text is "/" or "\\"; a double-byte
// character never counts as a separator.
bool EndsInSeparator(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p += CharacterLength(p, SIZE_MAX)) last = p;
  return last && (*last == '/' || *last == '\\') && last[1] == '\0';
}

// Formats into a path buffer; false, with out empty, when it does not fit.
// Either kind of vsnprintf will do: one that gives the whole length of a
// cut text, or one that gives -1.
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

// Why the copy failed, in our words, for the failures that the platform
// finds itself rather than the system; written into out
// (kMessageBufferSize bytes). False when the system is to say it. Whatever
// is cut here lies beyond the message's own 2047 bytes, which hold the
// source before this text.
bool DescribeOwnFailure(const char* source, const char* target, PlatformFailureKind kind,
                        char* out) {
  switch (kind) {
    case kFailureSystem: return false;
    case kFailureSameFile:
      snprintf(out, kMessageBufferSize, "'%s' and '%s' are the same file", source, target);
      return true;
    case kFailureNotRegularFile:
      snprintf(out, kMessageBufferSize, "'%s' is not a regular file", source);
      return true;
    case kFailureSourceReplaced:
      snprintf(out, kMessageBufferSize, "'%s' was replaced while it was being opened", source);
      return true;
    case kFailureForeignLink:
      snprintf(out, kMessageBufferSize,
               "'%s' is another user's link to a file that is not theirs", source);
      return true;
    case kFailureNotLevelSet:
      snprintf(out, kMessageBufferSize, "'%s' leads to a file that is not a level set", source);
      return true;
  }
  return false;
}

void ReportCopyFailure(const char* source, const char* target, PlatformFailure failure) {
  char shownSource[kMessageBufferSize];
  ShownName(source, shownSource, sizeof shownSource);
  char own[kMessageBufferSize];
  if (DescribeOwnFailure(source, target, failure.kind, own)) {
    // Our words hold no line break or tab of their own: the names in them
    // are shown as everywhere else.
    char shownOwn[kMessageBufferSize];
    ShownName(own, shownOwn, sizeof shownOwn);
    ShowMessage(kCopyFailureCaption, kBoxOk | kBoxIconInformation, kCopyFailureTemplate,
                shownSource, shownOwn);
    return;
  }
  char* systemText = PlatformGetErrorText(failure.code);
  char fallback[64];
  const char* text = systemText;
  if (!text) {
    snprintf(fallback, sizeof fallback, "Error %lu (the system has no text for it).",
             static_cast<unsigned long>(failure.code));
    text = fallback;
  }
  ShowMessage(kCopyFailureCaption, kBoxOk | kBoxIconInformation, kCopyFailureTemplate, shownSource,
              text);
  if (systemText) PlatformFreeErrorText(systemText);
}

}  // namespace

bool FileExists(const char* path) { return PlatformFileOrFolderExists(path); }

const char* GetProgramDirectory(ProgramDirectory* program) {
  if (program->known) return program->path;

  char* path = program->path;
  uint32_t code = 0;
  uint32_t length = PlatformGetProgramPath(path, kPathBufferSize, &code);
  if (length == 0) {
    // Not remembered: the next operation asks again. Where paths relative
    // to the current directory are not usable, no path is built at all.
    program->refusal = PlatformRelativePathsUsable() ? 0 : code;
    path[0] = '\0';
    return path;
  }
  program->known = true;
  program->refusal = 0;
  if (length >= kPathBufferSize) {
    // Cut to fit: the directory it would give is not the program's own.
    program->refusal = PlatformNameTooLongError();
    path[0] = '\0';
    return path;
  }

  char drive[kDriveSize];
  char directory[kPartSize];
  SplitPath(path, drive, directory, nullptr, nullptr);
  char* out = path;
  if (drive[0] != '\0') {
    *out++ = drive[0];
    *out++ = ':';
  }
  size_t directoryLength = strlen(directory);
  memcpy(out, directory, directoryLength);
  out += directoryLength;
  if (directoryLength != 0 && !EndsInSeparator(directory)) *out++ = PlatformPathSeparator();
  *out = '\0';
  return path;
}

bool GetLevelsDirectory(ProgramDirectory* program, char* out) {
  const char* programDirectory = GetProgramDirectory(program);
  if (program->refusal != 0) {
    out[0] = '\0';
    return false;
  }
  return FormatPath(out, "%sLevels", programDirectory);
}

bool GetInstalledPath(ProgramDirectory* program, const char* source, char* out) {
  const char* programDirectory = GetProgramDirectory(program);
  if (program->refusal != 0) {
    out[0] = '\0';
    return false;
  }
  // Only the file name is cleaned: the program directory and the extension
  // are taken as they are, so the copy lands in the Levels directory that
  // InstallLevelSet creates, whatever the game's directory is called.
  char name[kPathBufferSize];
  char extension[kPartSize];
  GetDisplayName(source, name);
  SplitPath(source, nullptr, nullptr, nullptr, extension);
  return FormatPath(out, "%sLevels%c%s%s", programDirectory, PlatformPathSeparator(), name,
                    extension);
}

bool IsAlreadyInstalled(ProgramDirectory* program, const char* source) {
  char installedPath[kPathBufferSize];
  if (!GetInstalledPath(program, source, installedPath)) return false;
  // Where names differ by letter case, another case is another file.
  if (!PlatformNamesIgnoreCase()) return strcmp(installedPath, source) == 0;
  return EqualsIgnoreCase(installedPath, source);
}

bool InstallLevelSet(ProgramDirectory* program, const char* source) {
  char levelsDirectory[kPathBufferSize];
  char installedPath[kPathBufferSize];
  // Both paths are built before anything is touched, so a name too long to
  // build is refused with nothing changed.
  if (!GetLevelsDirectory(program, levelsDirectory) ||
      !GetInstalledPath(program, source, installedPath)) {
    uint32_t code = program->refusal != 0 ? program->refusal : PlatformNameTooLongError();
    ReportCopyFailure(source, "", {kFailureSystem, code});
    return false;
  }
  PlatformCreateDirectory(levelsDirectory);
  if (FileExists(installedPath)) PlatformSetNormalAttributes(installedPath);
  PlatformFailure failure = {kFailureSystem, 0};
  if (!PlatformCopyFile(source, installedPath, &failure)) {
    ReportCopyFailure(source, installedPath, failure);
    return false;
  }
  PlatformSetNormalAttributes(installedPath);
  return true;
}
