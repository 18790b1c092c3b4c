// The process entry on POSIX.
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "dialogue/installer.h"
#include "platform/platform.h"
#include "text/codepage.h"

int main(int argc, char** argv) {
  // A file-size limit or a closed standard error must fail a write, not end
  // the process half way through a copy.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  LoadLeadBytes();

  // The tail is the arguments joined by single blanks, so a path that a
  // shell split at its blanks comes back whole.
  size_t size = 1;
  for (int i = 1; i < argc; ++i) size += strlen(argv[i]) + 1;
  char* tail = static_cast<char*>(malloc(size));
  if (!tail) return 0;
  char* put = tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) *put++ = ' ';
    size_t length = strlen(argv[i]);
    memcpy(put, argv[i], length);
    put += length;
  }
  *put = '\0';
  // Double quotes are legal in a file name here: when the arguments name a
  // file, that file is the level set, quotes and all. Only otherwise are
  // they taken as the quotes around a path.
  int status = tail[0] != '\0' && FileExists(tail) ? RunInstallerOnSource(tail) : RunInstaller(tail);
  free(tail);
  return status;
}
