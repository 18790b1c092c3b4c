// The installer flow: checks, question, game guard, copy, confirmation.
#include "dialogue/installer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "levelset/levelset.h"
#include "platform/platform.h"
#include "text/codepage.h"
#include "text/message.h"

namespace {

// The lock that every running game of the maker holds.
const char kGameMutexName[] = "QovCurrentlyRunningMutex";

const char kNotFoundCaption[] = "Level Set Not Found";
const char kNotFoundTemplate[] =
    "The named file: \"%s\" could not be found, so it could not be installed as a Quillomar "
    "level set";
const char kInvalidCaption[] = "Invalid File";
const char kInvalidTemplate[] = "The named file: \"%s\" is not a Quillomar level set";
const char kQuestionCaption[] = "Quillomar";
const char kQuestionTemplate[] = "Would you like to install the level set \"%s\" into your Quillomar game?";
const char kInstalledCaption[] = "Level Set Installed";
const char kAlreadyInstalledTemplate[] =
    "The level set \"%s\" is already installed.\n\nYou can play it by running Quillomar.";
const char kRunningCaption[] = "Quillomar is Running";
const char kRunningTemplate[] =
    "You can not install level sets while Quillomar is running.  Quillomar (or another Morvalic "
    "game) is running on this computer and must be closed before you can continue.\n\nIf you want "
    "to install the level set, close the game and click retry";
const char kDoneTemplate[] =
    "The level set \"%s\" has been installed.\n\nYou can play it by running Quillomar.";

bool IsGameRunning() { return PlatformGameLockHeld(kGameMutexName); }

int RunInstallerOnSource(const char* source, bool inexact) {
  char displayName[kPathBufferSize];
  GetDisplayName(source, displayName);
  ProgramDirectory program = {};
  char shownSource[kMessageBufferSize];
  char shownName[kMessageBufferSize];
  ShownName(source, shownSource, sizeof shownSource);
  ShownName(displayName, shownName, sizeof shownName);

  if (inexact || !FileExists(source)) {
    ShowMessage(kNotFoundCaption, kBoxOk | kBoxIconStop, kNotFoundTemplate, shownSource);
    return 0;
  }
  if (!IsLevelSetFile(source)) {
    ShowMessage(kInvalidCaption, kBoxOk | kBoxIconStop, kInvalidTemplate, shownSource);
    return 0;
  }
  // Only No stops here: a question that could not be shown lets the
  // installation go on.
  if (ShowMessage(kQuestionCaption, kBoxYesNo | kBoxIconQuestion, kQuestionTemplate,
                  shownName) == kAnswerNo) {
    return 0;
  }
  if (IsAlreadyInstalled(&program, source)) {
    ShowMessage(kInstalledCaption, kBoxOk | kBoxIconInformation, kAlreadyInstalledTemplate,
                shownName);
    return 0;
  }
  // Anything but Retry, a warning that could not be shown included, ends
  // the run.
  while (IsGameRunning()) {
    if (ShowMessage(kRunningCaption, kBoxRetryCancel | kBoxIconWarning, "%s", kRunningTemplate) !=
        kAnswerRetry) {
      return 0;
    }
  }
  if (!InstallLevelSet(&program, source)) return 0;
  ShowMessage(kInstalledCaption, kBoxOk | kBoxIconInformation, kDoneTemplate, shownName);
  return 1;
}

}  // namespace

char* GetCommandLineTail(char* commandLine) {
  unsigned char* p = reinterpret_cast<unsigned char*>(commandLine);
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') p += CharacterLength(reinterpret_cast<char*>(p), SIZE_MAX);
    if (*p == '"') ++p;
  } else {
    while (*p > 0x20) ++p;
  }
  while (*p >= 0x01 && *p <= 0x20) ++p;
  return reinterpret_cast<char*>(p);
}

char* StripQuotes(char* text) {
  char* first = strchr(text, '"');
  if (!first) return text;
  char* second = strchr(first + 1, '"');
  if (!second) return text;
  *second = '\0';
  return first + 1;
}

int RunInstaller(char* tail, const bool* inexact) {
  if (!tail || tail[0] == '\0') return 0;
  char* source = StripQuotes(tail);
  bool marked = false;
  for (size_t i = static_cast<size_t>(source - tail); inexact && tail[i] != '\0'; ++i) marked |= inexact[i];
  return RunInstallerOnSource(source, marked);
}

int RunInstallerOnArguments(int count, char** arguments) {
  size_t size = 1;
  for (int i = 0; i < count; ++i) size += strlen(arguments[i]) + 1;
  char* source = static_cast<char*>(malloc(size));
  if (!source) return 0;
  char* put = source;
  for (int i = 0; i < count; ++i) {
    if (i > 0) *put++ = ' ';
    size_t length = strlen(arguments[i]);
    memcpy(put, arguments[i], length);
    put += length;
  }
  *put = '\0';
  int status = source[0] == '\0' ? 0 : RunInstallerOnSource(source, false);
  free(source);
  return status;
}
