// Message boxes on POSIX: a GTK dialog on a display; else a prompt when the
// user sits at a terminal; else the text on standard error, answered 0.
#include "platform/posix/posix_box.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bytes/ascii.h"
#include "platform/platform.h"
#include "bytes/utf8.h"

namespace {

// The three kinds of box the installer shows.
const BoxButtons kOk = {1, {{kAnswerOk, "_OK", "OK"}}, kAnswerOk};
const BoxButtons kYesNo = {2, {{kAnswerYes, "_Yes", "Yes"}, {kAnswerNo, "_No", "No"}}, kAnswerNo};
const BoxButtons kRetryCancel = {
    2, {{kAnswerRetry, "_Retry", "Retry"}, {kAnswerCancel, "_Cancel", "Cancel"}}, kAnswerCancel};

bool SameLetter(char a, char b) {
  return FoldAsciiCase(static_cast<unsigned char>(a)) == FoldAsciiCase(static_cast<unsigned char>(b));
}

bool SameWord(const char* a, const char* b, size_t length) {
  if (strlen(b) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (!SameLetter(a[i], b[i])) return false;
  }
  return true;
}

// The characters that are not shown as themselves, first and last of each
// range: the controls (the box's own line breaks and tabs aside), the line
// and paragraph separators, and every format character (Unicode's class
// Cf): the bidirectional marks, embeddings, overrides and isolates, which
// show letters out of order, and the invisible ones (the soft hyphen, the
// zero-width space and joiners, the word joiner, the byte order mark, the
// tags...), which hide what a name holds or where it ends; and the letters
// and marks that text renderers draw as nothing at all (the combining
// grapheme joiner, the Hangul fillers, two Khmer vowels), kin of the last.
constexpr struct {
  unsigned first, last;
} kNotShown[] = {
    {0x00, 0x08},       {0x0B, 0x1F},       {0x7F, 0x9F},       {0xAD, 0xAD},
    {0x34F, 0x34F},     {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x3164, 0x3164},
    {0xFFA0, 0xFFA0},
    {0x600, 0x605},     {0x61C, 0x61C},     {0x6DD, 0x6DD},     {0x70F, 0x70F},
    {0x890, 0x891},     {0x8E2, 0x8E2},     {0x180E, 0x180E},   {0x200B, 0x200F},
    {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},
    {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},
    {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

// Whether the well-formed character of length bytes at text is one of them.
bool IsControl(const unsigned char* text, size_t length) {
  unsigned point = length == 1 ? text[0] : text[0] & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) point = point << 6 | (text[i] & 0x3F);
  for (const auto& range : kNotShown) {
    if (point >= range.first && point <= range.last) return true;
  }
  return false;
}

void WriteAll(int fd, const char* text) {
  for (size_t length = strlen(text); length > 0;) {
    ssize_t put = write(fd, text, length);
    if (put <= 0) return;
    text += put;
    length -= static_cast<size_t>(put);
  }
}

void WriteEscaped(int fd, const char* text) {
  char* escaped = EscapeForTerminal(text);
  if (escaped) WriteAll(fd, escaped);
  free(escaped);
}

void WriteButtons(const BoxButtons& buttons) {
  char line[128] = "";
  size_t used = 0;
  for (int i = 0; i < buttons.count; ++i) {
    const char* word = buttons.buttons[i].word;
    used += static_cast<size_t>(snprintf(line + used, sizeof line - used, "%s[%c]%s",
                                         i == 0 ? "" : " / ", word[0], word + 1));
  }
  snprintf(line + used, sizeof line - used, ": ");
  WriteAll(STDERR_FILENO, line);
}

enum class LineRead { kLine, kNoAnswer, kEnd };

// Reads one line from standard input, without its line end. A line longer
// than the buffer, or one that holds a NUL byte (which would cut it short:
// "y", NUL, "es, wait: NO" is not a Yes), is read to its end and is no
// answer. The end of input, or a terminal that hung up, ends it whatever
// came before on the line.
LineRead ReadLine(char* line, size_t size) {
  size_t used = 0;
  bool unfit = false;
  line[0] = '\0';
  for (;;) {
    char c;
    ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return LineRead::kEnd;
    if (c == '\n') return unfit ? LineRead::kNoAnswer : LineRead::kLine;
    if (c != '\0' && used + 1 < size) {
      line[used++] = c;
      line[used] = '\0';
    } else {
      unfit = true;
    }
  }
}

}  // namespace

const BoxButtons& ButtonsForStyle(uint32_t style) {
  switch (style & kBoxButtonsMask) {
    case kBoxYesNo: return kYesNo;
    case kBoxRetryCancel: return kRetryCancel;
    default: return kOk;
  }
}

int AnswerForLine(const BoxButtons& buttons, const char* line) {
  while (*line == ' ' || *line == '\t') ++line;
  size_t length = strlen(line);
  while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t' || line[length - 1] == '\r')) {
    --length;
  }
  // Enter alone is no answer to a question: only a box with nothing to
  // choose takes it.
  if (length == 0) return buttons.count == 1 ? buttons.buttons[0].answer : kAnswerNone;
  for (int i = 0; i < buttons.count; ++i) {
    const char* word = buttons.buttons[i].word;
    if ((length == 1 && SameLetter(line[0], word[0])) || SameWord(line, word, length)) {
      return buttons.buttons[i].answer;
    }
  }
  return kAnswerNone;
}

char* EscapeForTerminal(const char* text) {
  size_t length = strlen(text);
  char* out = static_cast<char*>(malloc(length * 4 + 1));
  if (!out) return nullptr;
  char* put = out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    size_t sequence = Utf8CharacterLength(p, static_cast<size_t>(end - p));
    if (sequence == 0 || IsControl(p, sequence)) {
      size_t count = sequence == 0 ? 1 : sequence;
      for (size_t i = 0; i < count; ++i) put += sprintf(put, "\\x%02x", p[i]);
      p += count;
    } else {
      memcpy(put, p, sequence);
      put += sequence;
      p += sequence;
    }
  }
  *put = '\0';
  return out;
}

int ShowTerminalBox(const char* text, const char* caption, uint32_t style) {
  if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO)) return kBoxUnavailable;
  const BoxButtons& buttons = ButtonsForStyle(style);
  WriteEscaped(STDERR_FILENO, caption);
  WriteAll(STDERR_FILENO, "\n");
  WriteEscaped(STDERR_FILENO, text);
  WriteAll(STDERR_FILENO, "\n");
  for (;;) {
    WriteButtons(buttons);
    char line[256];
    LineRead read = ReadLine(line, sizeof line);
    if (read == LineRead::kEnd) {
      // As closing the box: no Yes and no Retry without the user's word.
      WriteAll(STDERR_FILENO, "\n");
      return buttons.closeAnswer;
    }
    int answer = read == LineRead::kLine ? AnswerForLine(buttons, line) : kAnswerNone;
    if (answer != kAnswerNone) return answer;
  }
}

int ShowStderrBox(const char* text, const char* caption) {
  WriteEscaped(STDERR_FILENO, caption);
  WriteAll(STDERR_FILENO, "\n");
  WriteEscaped(STDERR_FILENO, text);
  WriteAll(STDERR_FILENO, "\n\n");
  return kAnswerNone;
}

int PlatformMessageBox(const char* text, const char* caption, uint32_t style) {
  int answer = ShowGtkBox(text, caption, style);
  if (answer == kBoxUnavailable) answer = ShowTerminalBox(text, caption, style);
  if (answer == kBoxUnavailable) answer = ShowStderrBox(text, caption);
  return answer;
}
