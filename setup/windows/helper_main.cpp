// The Windows setup's helper, levelset-setup-helper.exe: the setup and its
// uninstaller unpack it into their own temporary folder and run it for what
// NSIS cannot judge alone (system.h):
//
//   levelset-setup-helper check FOLDER REPORT           may Setup install there for all users?
//   levelset-setup-helper check-mine FOLDER REPORT      ... just for the user running it?
//   levelset-setup-helper others-mine FOLDER REPORT     "check", in the words for just for me
//   levelset-setup-helper levels FOLDER REPORT          Levels for players
//   levelset-setup-helper release-levels FOLDER REPORT  players' entries out again
//   levelset-setup-helper files FOLDER REPORT           the installed files' own access list
//   levelset-setup-helper remove FILE REPORT            a file of ours, never through a link
//   levelset-setup-helper remove-old FOLDER REPORT      the earlier installation, when it may go
//   levelset-setup-helper remove-old-mine FOLDER REPORT the same, of an installation just for me
//   levelset-setup-helper same-folder FOLDER OTHER      one folder under two names?
//   levelset-setup-helper remove-later FILE PROCESS     the uninstaller's file, once it ended
//   levelset-setup-helper run-elevated PROGRAM PARAMETERS REPORT WINDOW
//                                                       PROGRAM as an administrator: its status,
//                                                       and its reason into REPORT
//
// Exit status (SETUP_HELPER_* in facts.h): done (or the same folder), another
// folder, refused, others may change the folder ("check") or the file is
// open, with the reason for the user written to the new file REPORT
// (UTF-16LE), or a command line it does not know; "run-elevated" ends with
// the status of the run it started (SetupRunElevated).
// Arguments are separated by blanks; one in double quotes runs to the next
// double quote, backslashes and all (a Windows name holds no double quote),
// so "D:\" is D:\.
#include <cwchar>

#include "setup/windows/system.h"

namespace {

constexpr int kMaxArguments = 6;
constexpr int kArguments = 4;  // of every command but run-elevated
constexpr unsigned kLineSize = 4096;
constexpr unsigned kReportSize = 4096;  // what the setup reads of it

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
  const int count = SplitArguments(line, arguments);
  if (count < kArguments) return SETUP_HELPER_USAGE;
  const wchar_t* command = arguments[1];
  const wchar_t* folder = arguments[2];
  static wchar_t report[kReportSize];
  if (wcscmp(command, L"run-elevated") == 0) {
    wchar_t* end = nullptr;
    unsigned long long window = count == kMaxArguments ? wcstoull(arguments[5], &end, 10) : 0;
    if (count != kMaxArguments || end == arguments[5] || *end != L'\0') return SETUP_HELPER_USAGE;
    int status = SetupRunElevated(folder, arguments[3], static_cast<uintptr_t>(window), report, kReportSize);
    if (report[0] != L'\0') SetupWriteReport(arguments[4], report);
    return status;
  }
  if (count != kArguments) return SETUP_HELPER_USAGE;

  if (wcscmp(command, L"same-folder") == 0) {
    return SetupSameFolder(folder, arguments[3]) ? SETUP_HELPER_DONE : SETUP_HELPER_ANOTHER_FOLDER;
  }
  if (wcscmp(command, L"remove-later") == 0) {
    wchar_t* end = nullptr;
    unsigned long process = wcstoul(arguments[3], &end, 10);
    if (end == arguments[3] || *end != L'\0') return SETUP_HELPER_USAGE;
    return SetupRemoveWhenEnded(folder, process, report, kReportSize);
  }
  int result;
  if (wcscmp(command, L"check") == 0) {
    result = SetupCheckFolder(folder, kSetupForAllUsers, report, kReportSize);
  } else if (wcscmp(command, L"others-mine") == 0) {
    result = SetupCheckFolder(folder, kSetupForAllUsers, report, kReportSize, true);
  } else if (wcscmp(command, L"check-mine") == 0) {
    result = SetupCheckFolder(folder, kSetupJustForMe, report, kReportSize);
  } else if (wcscmp(command, L"levels") == 0) {
    result = SetupSecureLevels(folder, report, kReportSize);
  } else if (wcscmp(command, L"release-levels") == 0) {
    result = SetupReleaseLevels(folder, report, kReportSize);
  } else if (wcscmp(command, L"files") == 0) {
    result = SetupSecureInstalledFiles(folder, report, kReportSize);
  } else if (wcscmp(command, L"remove") == 0) {
    result = SetupRemoveFile(folder, report, kReportSize);
  } else if (wcscmp(command, L"remove-old") == 0) {
    result = SetupRemoveOldInstallation(folder, kSetupForAllUsers, report, kReportSize);
  } else if (wcscmp(command, L"remove-old-mine") == 0) {
    result = SetupRemoveOldInstallation(folder, kSetupJustForMe, report, kReportSize);
  } else {
    return SETUP_HELPER_USAGE;
  }
  if (result != SETUP_HELPER_DONE) SetupWriteReport(arguments[3], report);
  return result;
}
