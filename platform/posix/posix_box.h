// Message boxes on POSIX: a chain of ways to show one, each of which may be
// unavailable so that the next can try.
#ifndef LEVELSET_PLATFORM_POSIX_BOX_H
#define LEVELSET_PLATFORM_POSIX_BOX_H

#include <cstdint>

constexpr int kBoxUnavailable = -1;

struct BoxButton {
  int answer;
  const char* mnemonic;  // "_Yes"
  const char* word;      // "Yes"
};

struct BoxButtons {
  int count;
  BoxButton buttons[2];
  int closeAnswer;  // what closing the box without a button answers
};

// The buttons of a box style, in order; the first is the default.
const BoxButtons& ButtonsForStyle(uint32_t style);

// The answer that a typed line picks: a button's first letter or its whole
// word, in either case, blanks around it allowed; an empty line picks the
// button of a box that has only one. kAnswerNone when the line names no
// button.
int AnswerForLine(const BoxButtons& buttons, const char* line);

// Text made safe to show, at a terminal or in a dialog: control characters
// but line breaks and tabs, the line and paragraph separators (U+2028,
// U+2029), the format characters (the bidirectional controls, the
// invisible ones such as U+200B to U+200D, U+2060 and U+FEFF), the letters
// drawn as nothing, such as U+3164 (the list is posix_box.cpp's) and bytes that are not valid UTF-8 become \xNN, byte by
// byte. Allocated with malloc.
char* EscapeForTerminal(const char* text);

// The steps of the chain.
int ShowGtkBox(const char* text, const char* caption, uint32_t style);
int ShowTerminalBox(const char* text, const char* caption, uint32_t style);
int ShowStderrBox(const char* text, const char* caption);

#endif
