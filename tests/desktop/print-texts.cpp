// Prints what the installer says, as tests/texts.h has it, for the shell
// tests of the desktop: one line per text, its shell variable's name, a tab
// and the text. The captions of the boxes, by which a test finds them on
// the screen, and the name of the game's lock.
#include <cstdio>

#include "tests/texts.h"

int main() {
  const char* const texts[][2] = {
      {"caption_question", kQuestionCaption}, {"caption_installed", kInstalledCaption},
      {"caption_running", kRunningCaption},   {"caption_not_found", kNotFoundCaption},
      {"caption_invalid", kInvalidCaption},   {"caption_copy_error", kCopyErrorCaption},
      {"lock_name", kGameLockName},
  };
  for (const auto& text : texts) printf("%s\t%s\n", text[0], text[1]);
  return ferror(stdout) ? 1 : 0;
}
