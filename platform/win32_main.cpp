// The process entry on Windows: a program of the graphical subsystem that
// takes its raw command line and ends with the installer's result.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "dialogue/installer.h"
#include "levelset/levelset.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LoadLeadBytes();
  // The tail is worked out from the process's own command line, not from
  // WinMain's argument, so the rule for the program's name is ours.
  char* commandLine = GetCommandLineA();
  return RunInstaller(GetCommandLineTail(commandLine));
}
