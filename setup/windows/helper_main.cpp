// The Windows setup's helper, levelset-setup-helper.exe: the setup and its
// uninstaller unpack it into their own temporary folder and run it for what
// NSIS cannot judge alone (system.h):
//
//   levelset-setup-helper check FOLDER REPORT           may Setup install there?
//   levelset-setup-helper levels FOLDER REPORT          Levels for players
//   levelset-setup-helper release-levels FOLDER REPORT  players' entries out again
//   levelset-setup-helper remove FILE REPORT            a file of ours, never through a link
//   levelset-setup-helper same-folder FOLDER OTHER      one folder under two names?
//
// Exit status (SETUP_HELPER_* in facts.h): done (or the same folder), another
// folder, refused or the file is open, with the reason for the user written
// to the new file REPORT (UTF-16LE), or a command line it does not know.
// Arguments are separated by blanks; one in double quotes runs to the next
// double quote, backslashes and all (a Windows name holds no double quote),
// so "D:\" is D:\.
#include <cwchar>

#include "setup/windows/system.h"

namespace {

constexpr int kMaxArguments = 4;
constexpr unsigned kLineSize = 4096;
constexpr unsigned kReportSize = 1024;  // what the setup reads of it

// Splits line in place into at most kMaxArguments arguments; the first is
// the program's name. Returns how many there were, or -1 for too many.
int SplitArguments(wchar_t* line, wchar_t* arguments[kMaxArguments]) {
  int count = 0;
  wchar_t* at = line;
  for (;;) {
    while (*at == L' ' || *at == L'\t') ++at;
    if (*at == L'\0') return count;
    if (count == kMaxArguments) return -1;
    wchar_t end = L' ';
    if (*at == L'"') {
      end = L'"';
      ++at;
    }
    arguments[count++] = at;
    while (*at != L'\0' && *at != end && !(end == L' ' && *at == L'\t')) ++at;
    if (*at == L'\0') return count;
    *at++ = L'\0';
  }
}

}  // namespace

int main() {
  static wchar_t line[kLineSize];
  const wchar_t* commandLine = SetupCommandLine();
  if (commandLine == nullptr || wcslen(commandLine) >= kLineSize) return SETUP_HELPER_USAGE;
  wcscpy(line, commandLine);
  wchar_t* arguments[kMaxArguments] = {};
  if (SplitArguments(line, arguments) != kMaxArguments) return SETUP_HELPER_USAGE;
  const wchar_t* command = arguments[1];
  const wchar_t* folder = arguments[2];

  if (wcscmp(command, L"same-folder") == 0) {
    return SetupSameFolder(folder, arguments[3]) ? SETUP_HELPER_DONE : SETUP_HELPER_ANOTHER_FOLDER;
  }
  static wchar_t report[kReportSize];
  int result;
  if (wcscmp(command, L"check") == 0) {
    result = SetupCheckFolder(folder, report, kReportSize);
  } else if (wcscmp(command, L"levels") == 0) {
    result = SetupSecureLevels(folder, report, kReportSize);
  } else if (wcscmp(command, L"release-levels") == 0) {
    result = SetupReleaseLevels(folder, report, kReportSize);
  } else if (wcscmp(command, L"remove") == 0) {
    result = SetupRemoveFile(folder, report, kReportSize);
  } else {
    return SETUP_HELPER_USAGE;
  }
  if (result != SETUP_HELPER_DONE) SetupWriteReport(arguments[3], report);
  return result;
}
