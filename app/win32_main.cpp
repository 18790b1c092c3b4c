// The process entry on Windows: a program of the graphical subsystem that
// takes its raw command line and ends with the installer's result.
#include "dialogue/installer.h"
#include "platform/platform.h"
#include "text/codepage.h"

// The C runtime of a graphical program calls main() too; the arguments it
// splits are not used: the tail is worked out from the process's own command
// line, so the rule for the program's name is ours.
int main() {
  LoadLeadBytes();
  PlatformCommandLine line = PlatformGetCommandLine();
  char* tail = GetCommandLineTail(line.text);
  return RunInstaller(tail, line.inexact + (tail - line.text));
}
