// The process entry on POSIX: hands the arguments to the installer and ends
// with its result.
#include <csignal>

#include "dialogue/installer.h"
#include "text/codepage.h"

int main(int argc, char** argv) {
  // A file-size limit or a closed standard error must fail a write, not end
  // the process half way through a copy.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  LoadLeadBytes();
  return RunInstallerOnArguments(argc - 1, argv + 1);
}
