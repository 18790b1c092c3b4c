// Drives the Windows installer as a user meets it: starts it the way
// Explorer does (CreateProcessW, a UTF-16 command line), reads every message
// box it shows as Windows holds it (UTF-16), presses the scripted buttons and
// reports what it saw and the exit status, one line each. It also prints the
// lines to expect, from the installer's texts in tests/texts.h.
//
//   driver run (--app PATH --cmdline-hex HEX | --attach IMAGE) --answers yes,ok
//              [--game] [--game-ends-at N] [--pause-at N --pause-file PATH]
//              [--kill-when PATTERN] [--leave] [--when-shown TEXT] [--show] [--details]
//              [--timeout-ms N]
//   driver expect [--code-page N] WHAT...
//   driver game READY-EVENT QUIT-EVENT
//   driver resources PATH
//
// Arguments are read as UTF-16 and taken as UTF-8; HEX is the command line's
// UTF-8 bytes.
//
// "expect" prints the report line of each WHAT, in order:
//   question NAME ANSWER | installed NAME | already NAME | not-found PATH |
//   invalid PATH | running ANSWER | copy-failed PATH SYSTEM-TEXT |
//   copy-refused PATH TEXT | killed | exit STATUS
// (SYSTEM-TEXT without the line break that ends every system text; TEXT,
// the installer's own, as it is). A text
// over 2047 bytes in code page N (default UTF-8, the installer's own) is
// cut after the last whole character that fits, as the installer cuts it.
//
// "game" is the stand-in for a running game: it holds the game's named
// mutex until QUIT-EVENT is set. With --game, "run" starts one before the
// installer; with --game-ends-at N it ends it on seeing box N, before
// pressing that box's button. With --pause-at N it writes PAUSE-FILE.shown
// on seeing box N and waits for PAUSE-FILE.go before pressing (for a
// picture). With --attach, "run" starts nothing: it waits for a process whose program file is named IMAGE
// (the installer, or the setup) to appear, as one started by the shell for
// an opened file, and drives that. With --kill-when, it kills the
// installer as soon as a file matching PATTERN holds some bytes, as a crash
// or a power cut would, and reports "killed". With --leave, it ends once
// its last answer has been taken, leaving the process running, and reports
// "left". With --show, each box's line is followed by what its windows show,
// one line each ("  | CLASS TEXT", visible windows with a text). With
// --details, it reads the items of the list views of the process (the
// setup's details) as they come, and reports them at the end, each as
// "detail TEXT".
//
// An answer is a button's name, or "keys:" and keys separated by blanks,
// which it sends in turn to the window that has the keyboard focus, as a
// user types them: tab, up, down, left, right, space, enter, escape, or
// alt+LETTER (a mnemonic). Keys are sent once the box shows its OK button
// (the setup's Next) enabled, or, without one, any button enabled.
//
// A box is a dialog window of the process that a user could press on: shown
// and enabled (a window under a modal box is not). It is answered once it
// shows the scripted button, enabled, as a user waits for it (the setup's
// Next while it works, or between pages), and, with --when-shown, the last
// answer once some text in it holds TEXT; a box that never does is reported at the time-out.
// A box when no answer is left is reported at once. An answer is taken when
// its window closes, shows something else (the setup's next page) or is
// covered by a modal box.
//
// "resources" reports what Windows reads from a program file's resources:
//   version FILE-VERSION PRODUCT-VERSION "PRODUCT-NAME" "FILE-DESCRIPTION" "COPYRIGHT"
//   manifest "execution-level" "dpi-awareness" "common-controls-version"
// (each manifest field as found in the text, or "-").
//
// Report lines on standard output (UTF-8, with \n, \t, \", \\ and \xHH
// escapes for the other control characters):
//   box "CAPTION" "TEXT" [BUTTONS] ICON -> ANSWER
// where BUTTONS are the buttons shown, the default one marked "*", and ICON
// is stop, question, warning, information or no-icon; " topmost" follows
// for a box that stays above all others.
//   exit STATUS
//   left              (--leave: the process goes on)
//   error WHAT        (anything unexpected; the driver then exits with 2)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/texts.h"
#include "text/message.h"

namespace {

constexpr int kMessageTextId = 0xFFFF;

struct Button {
  int id;
  const char* name;
};
const Button kButtons[] = {{IDOK, "OK"},         {IDCANCEL, "Cancel"}, {IDABORT, "Abort"},
                           {IDRETRY, "Retry"},   {IDIGNORE, "Ignore"}, {IDYES, "Yes"},
                           {IDNO, "No"},         {IDTRYAGAIN, "TryAgain"},
                           {IDCONTINUE, "Continue"}};

const char* ButtonName(int id) {
  for (const Button& button : kButtons) {
    if (button.id == id) return button.name;
  }
  return nullptr;
}

int ButtonId(const std::string& name) {
  for (const Button& button : kButtons) {
    if (_stricmp(button.name, name.c_str()) == 0) return button.id;
  }
  return 0;
}

// The keys of a "keys:" answer, each a virtual key, with alt for a mnemonic
// (sent as the character that Alt and the letter make).
struct Key {
  UINT code;
  bool alt;
};

bool ParseKeys(const std::string& answer, std::vector<Key>* keys) {
  if (answer.compare(0, 5, "keys:") != 0) return false;
  const struct {
    const char* name;
    UINT code;
  } named[] = {{"tab", VK_TAB},   {"up", VK_UP},       {"down", VK_DOWN},  {"left", VK_LEFT},
               {"right", VK_RIGHT}, {"space", VK_SPACE}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE}};
  size_t at = 5;
  while (at < answer.size()) {
    size_t end = answer.find(' ', at);
    if (end == std::string::npos) end = answer.size();
    std::string name = answer.substr(at, end - at);
    at = end + 1;
    if (name.empty()) continue;
    if (name.size() == 5 && name.compare(0, 4, "alt+") == 0 && isalpha(static_cast<unsigned char>(name[4]))) {
      keys->push_back({static_cast<UINT>(tolower(static_cast<unsigned char>(name[4]))), true});
      continue;
    }
    bool known = false;
    for (const auto& key : named) {
      if (name == key.name) {
        keys->push_back({key.code, false});
        known = true;
      }
    }
    if (!known) return false;
  }
  return !keys->empty();
}

// Sends the keys to the window that has the focus in box's thread (the box
// itself when none has), as the thread's message loop gets typed keys.
void SendKeys(HWND box, const std::vector<Key>& keys) {
  DWORD thread = GetWindowThreadProcessId(box, nullptr);
  for (const Key& key : keys) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND focus = GetGUIThreadInfo(thread, &info) && info.hwndFocus ? info.hwndFocus : box;
    if (key.alt) {
      PostMessageW(focus, WM_SYSCHAR, key.code, 1 | (1 << 29));
    } else {
      LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key.code, MAPVK_VK_TO_VSC)) << 16;
      PostMessageW(focus, WM_KEYDOWN, key.code, 1 | scan);
      PostMessageW(focus, WM_KEYUP, key.code, 1 | scan | (3u << 30));
    }
    Sleep(200);
  }
}

std::string Escape(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '"') out += "\\\"";
    else if (c == '\\') out += "\\\\";
    else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Utf8(const wchar_t* text, int length = -1) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
  if (length < 0 && !out.empty()) out.pop_back();  // the terminator
  return out;
}

std::wstring Wide(const std::string& text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

void Line(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

[[noreturn]] void Fail(const std::string& what) {
  Line("error " + what);
  exit(2);
}

bool FromHex(const char* hex, std::string* out) {
  size_t length = strlen(hex);
  if (length % 2 != 0) return false;
  for (size_t i = 0; i < length; i += 2) {
    char pair[3] = {hex[i], hex[i + 1], '\0'};
    char* end = nullptr;
    unsigned long value = strtoul(pair, &end, 16);
    if (*end != '\0') return false;
    out->push_back(static_cast<char>(value));
  }
  return true;
}

// --- Finding the installer's windows ----------------------------------------

struct Search {
  DWORD processId = 0;
  HWND box = nullptr;
  std::string otherClass;  // a visible window that is not a dialog
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
  char className[256] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "#32770") != 0) {
    search->otherClass = className;
  } else if (IsWindowEnabled(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

struct ButtonSearch {
  std::vector<std::pair<int, HWND>> buttons;
};

BOOL CALLBACK FindButton(HWND window, LPARAM parameter) {
  ButtonSearch* search = reinterpret_cast<ButtonSearch*>(parameter);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (_stricmp(className, "Button") == 0 && IsWindowVisible(window)) {
    search->buttons.emplace_back(GetDlgCtrlID(window), window);
  }
  return TRUE;
}

std::string WindowText(HWND window) {
  wchar_t text[8192] = {};
  GetWindowTextW(window, text, 8192);
  return Utf8(text);
}

// What a window shows: the class, text and state of every window in it.
BOOL CALLBACK AddShown(HWND window, LPARAM parameter) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  *reinterpret_cast<std::string*>(parameter) += std::string(className) + '|' + WindowText(window) +
                                                 (IsWindowVisible(window) ? "|v" : "|h") +
                                                 (IsWindowEnabled(window) ? "e\n" : "d\n");
  return TRUE;
}

std::string Shown(HWND window) {
  std::string shown;
  EnumChildWindows(window, AddShown, reinterpret_cast<LPARAM>(&shown));
  return shown;
}

// --show: what the visible windows in a box show, a line each (asked of the
// window itself, as an edit field keeps its own text; a picture's resource
// number is no text).
BOOL CALLBACK AddShownLine(HWND window, LPARAM parameter) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  wchar_t wide[8192] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, &copied);
  std::string text = wide[0] == 0xFFFF ? std::string() : Utf8(wide);
  if (IsWindowVisible(window) && !text.empty()) {
    *reinterpret_cast<std::string*>(parameter) += "\n  | " + std::string(className) + " " + Escape(text);
  }
  return TRUE;
}

// --details: the items of every list view of the process, read through
// memory lent in that process, each list's items in order.
struct Details {
  HANDLE process = nullptr;
  DWORD processId = 0;
  std::vector<std::pair<HWND, std::vector<std::string>>> lists;
};

BOOL CALLBACK ReadListView(HWND window, LPARAM parameter) {
  Details* details = reinterpret_cast<Details*>(parameter);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  // Under Common Controls 6 the class name may carry its version before a "!".
  const char* name = strrchr(className, '!') ? strrchr(className, '!') + 1 : className;
  if (strcmp(name, WC_LISTVIEWA) != 0) return TRUE;
  std::vector<std::string>* items = nullptr;
  for (auto& list : details->lists) {
    if (list.first == window) items = &list.second;
  }
  if (!items) {
    details->lists.emplace_back(window, std::vector<std::string>());
    items = &details->lists.back().second;
  }
  LRESULT count = SendMessageW(window, LVM_GETITEMCOUNT, 0, 0);
  const size_t textSize = 1024;
  char* remote = static_cast<char*>(VirtualAllocEx(details->process, nullptr, sizeof(LVITEMW) + textSize * 2,
                                                   MEM_COMMIT, PAGE_READWRITE));
  if (!remote) return TRUE;
  for (LRESULT index = static_cast<LRESULT>(items->size()); index < count; ++index) {
    LVITEMW item = {};
    item.iSubItem = 0;
    item.cchTextMax = textSize;
    item.pszText = reinterpret_cast<LPWSTR>(remote + sizeof(LVITEMW));
    wchar_t text[textSize] = {};
    SIZE_T moved = 0;
    if (!WriteProcessMemory(details->process, remote, &item, sizeof item, &moved)) break;
    SendMessageW(window, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote));
    if (!ReadProcessMemory(details->process, remote + sizeof(LVITEMW), text, sizeof text - 2, &moved)) break;
    items->push_back(Utf8(text));
  }
  VirtualFreeEx(details->process, remote, 0, MEM_RELEASE);
  return TRUE;
}

BOOL CALLBACK ReadListViewsOf(HWND window, LPARAM parameter) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == reinterpret_cast<Details*>(parameter)->processId) {
    EnumChildWindows(window, ReadListView, parameter);
  }
  return TRUE;
}

// --- Which icon the box shows ----------------------------------------------
//
// The icon handle of another process cannot be read back, so the icon is
// recognised by its pixels: the icon control's part of the screen is
// compared with each standard icon drawn at the same size, on the pixels
// where that icon is opaque.

BOOL CALLBACK FindIconControl(HWND window, LPARAM parameter) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (_stricmp(className, "Static") == 0 && IsWindowVisible(window) &&
      (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
  }
  return TRUE;
}

struct Pixels {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  const DWORD* bits = nullptr;

  Pixels(HDC screen, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    dc = CreateCompatibleDC(screen);
    bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    bits = static_cast<const DWORD*>(memory);
    old = SelectObject(dc, bitmap);
  }
  ~Pixels() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Fill(COLORREF color, int width, int height) {
    HBRUSH brush = CreateSolidBrush(color);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
};

int ChannelDistance(DWORD a, DWORD b) {
  int most = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int d = abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    if (d > most) most = d;
  }
  return most;
}

std::string IconOf(HWND box) {
  HWND control = nullptr;
  EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&control));
  if (!control) return "no-icon";
  RECT rect;
  GetWindowRect(control, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return "no-icon";

  HDC screen = GetDC(nullptr);
  Pixels shown(screen, width, height);
  BitBlt(shown.dc, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();

  struct Candidate {
    LPCSTR id;
    const char* name;
  };
  const Candidate candidates[] = {{IDI_HAND, "stop"},
                                  {IDI_QUESTION, "question"},
                                  {IDI_EXCLAMATION, "warning"},
                                  {IDI_ASTERISK, "information"}};
  std::string best = "unknown-icon";
  double bestMismatch = 0.05;  // more than 5% of the opaque pixels off: none
  for (const Candidate& candidate : candidates) {
    HICON icon = LoadIconA(nullptr, candidate.id);
    Pixels onBlack(screen, width, height);
    Pixels onWhite(screen, width, height);
    onBlack.Fill(RGB(0, 0, 0), width, height);
    onWhite.Fill(RGB(255, 255, 255), width, height);
    DrawIconEx(onBlack.dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    DrawIconEx(onWhite.dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    int opaque = 0;
    int mismatched = 0;
    for (int i = 0; i < width * height; ++i) {
      if (ChannelDistance(onBlack.bits[i], onWhite.bits[i]) > 8) continue;  // see-through
      ++opaque;
      if (ChannelDistance(onBlack.bits[i], shown.bits[i]) > 24) ++mismatched;
    }
    if (opaque == 0) continue;
    double mismatch = static_cast<double>(mismatched) / opaque;
    if (mismatch < bestMismatch) {
      bestMismatch = mismatch;
      best = candidate.name;
    }
  }
  ReleaseDC(nullptr, screen);
  return best;
}

bool FileThere(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- The game stand-in ------------------------------------------------------

int RunGame(const char* readyName, const char* quitName) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kGameLockName);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, quitName);
  if (!mutex || !ready || !quit) return 3;
  SetEvent(ready);
  WaitForSingleObject(quit, 120000);
  CloseHandle(mutex);
  return 0;
}

struct Game {
  HANDLE process = nullptr;
  HANDLE quit = nullptr;
};

Game StartGame() {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  char readyName[64];
  char quitName[64];
  snprintf(readyName, sizeof readyName, "LevelsetDriverGameReady%lu", GetCurrentProcessId());
  snprintf(quitName, sizeof quitName, "LevelsetDriverGameQuit%lu", GetCurrentProcessId());
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName);
  Game game;
  game.quit = CreateEventA(nullptr, TRUE, FALSE, quitName);
  std::string commandLine = std::string("\"") + self + "\" game " + readyName + " " + quitName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    Fail("cannot start the game stand-in");
  }
  CloseHandle(process.hThread);
  game.process = process.hProcess;
  HANDLE waits[2] = {ready, game.process};
  if (WaitForMultipleObjects(2, waits, FALSE, 30000) != WAIT_OBJECT_0) {
    Fail("the game stand-in did not take its mutex");
  }
  CloseHandle(ready);
  return game;
}

void EndGame(Game* game) {
  if (!game->process) return;
  SetEvent(game->quit);
  if (WaitForSingleObject(game->process, 30000) != WAIT_OBJECT_0) Fail("the game did not end");
  CloseHandle(game->process);
  CloseHandle(game->quit);
  game->process = nullptr;
}

// --- The resources of a program file ----------------------------------------

std::string VersionString(const std::vector<char>& block, const char* name) {
  void* value = nullptr;
  UINT length = 0;
  std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || length == 0) return "-";
  return static_cast<const char*>(value);
}

// The value of attribute (or the text of element) name in the manifest.
std::string ManifestField(const std::string& manifest, const std::string& name, bool element) {
  size_t at = manifest.find(element ? "<" + name : name + "=\"");
  if (at == std::string::npos) return "-";
  if (element) {
    size_t open = manifest.find('>', at);
    size_t close = manifest.find('<', open);
    if (open == std::string::npos || close == std::string::npos) return "-";
    return manifest.substr(open + 1, close - open - 1);
  }
  size_t start = at + name.size() + 2;
  size_t end = manifest.find('"', start);
  return end == std::string::npos ? "-" : manifest.substr(start, end - start);
}

int ReportResources(const char* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) Fail("no version resource");
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) Fail("cannot read the version resource");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedLength)) {
    Fail("no fixed version");
  }
  char versions[128];
  snprintf(versions, sizeof versions, "%lu.%lu.%lu.%lu %lu.%lu.%lu.%lu",
           fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
           fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
           fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
           fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
  Line(std::string("version ") + versions + " \"" + Escape(VersionString(block, "ProductName")) +
       "\" \"" + Escape(VersionString(block, "FileDescription")) + "\" \"" +
       Escape(VersionString(block, "LegalCopyright")) + "\"");

  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) Fail("cannot open the program file as data");
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  if (!resource) Fail("no manifest (RT_MANIFEST 1)");
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
  std::string manifest(data, SizeofResource(module, resource));
  FreeLibrary(module);
  Line("manifest \"" + ManifestField(manifest, "level", false) + "\" \"" +
       ManifestField(manifest, "dpiAwareness", true) + "\" \"" +
       ManifestField(manifest, "dpiAware", true) + "\" \"" +
       (manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos
            ? ManifestField(manifest.substr(manifest.find("Microsoft.Windows.Common-Controls")),
                            "version", false)
            : std::string("-")) +
       "\"");
  return 0;
}

// --- The run ------------------------------------------------------------------

struct Options {
  std::string app;
  std::string commandLine;
  std::string attach;
  std::vector<std::string> answers;
  bool game = false;
  int gameEndsAt = 0;
  int pauseAt = 0;
  std::string pauseFile;
  std::string killWhen;
  bool leave = false;
  std::string whenShown;
  bool show = false;
  bool details = false;
  DWORD timeoutMs = 60000;
};

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

Options ParseRun(const std::vector<std::string>& argv) {
  Options options;
  bool haveCommandLine = false;
  for (size_t i = 2; i < argv.size(); ++i) {
    std::string name = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argv.size()) Fail("missing value for " + name);
      return argv[++i];
    };
    if (name == "--app") options.app = value();
    else if (name == "--cmdline-hex") {
      if (!FromHex(value().c_str(), &options.commandLine)) Fail("bad --cmdline-hex");
      haveCommandLine = true;
    } else if (name == "--attach") options.attach = value();
    else if (name == "--answers") options.answers = SplitList(value());
    else if (name == "--game") options.game = true;
    else if (name == "--game-ends-at") options.gameEndsAt = atoi(value().c_str());
    else if (name == "--pause-at") options.pauseAt = atoi(value().c_str());
    else if (name == "--pause-file") options.pauseFile = value();
    else if (name == "--kill-when") options.killWhen = value();
    else if (name == "--leave") options.leave = true;
    else if (name == "--when-shown") options.whenShown = value();
    else if (name == "--show") options.show = true;
    else if (name == "--details") options.details = true;
    else if (name == "--timeout-ms") options.timeoutMs = strtoul(value().c_str(), nullptr, 10);
    else Fail("unknown option " + name);
  }
  if (options.attach.empty() == (options.app.empty() || !haveCommandLine)) {
    Fail("either --app and --cmdline-hex or --attach is needed");
  }
  for (const std::string& answer : options.answers) {
    std::vector<Key> keys;
    if (ButtonId(answer) == 0 && !ParseKeys(answer, &keys)) Fail("unknown answer " + answer);
  }
  if (options.gameEndsAt != 0) options.game = true;
  return options;
}

// The first process whose program file is named image, once there is one.
PROCESS_INFORMATION WaitForProcess(const std::string& image, DWORD timeoutMs) {
  DWORD started = GetTickCount();
  do {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
      if (_stricmp(entry.szExeFile, image.c_str()) != 0) continue;
      PROCESS_INFORMATION process = {};
      process.dwProcessId = entry.th32ProcessID;
      process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE |
                                         PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                     FALSE, entry.th32ProcessID);
      if (process.hProcess) {
        CloseHandle(snapshot);
        return process;
      }
    }
    CloseHandle(snapshot);
    Sleep(20);
  } while (GetTickCount() - started < timeoutMs);
  Fail("no process " + Escape(image) + " appeared");
}

int Run(const Options& options) {
  Game game;
  if (options.game) game = StartGame();

  DWORD started = GetTickCount();
  auto timeLeft = [&]() { return GetTickCount() - started < options.timeoutMs; };
  PROCESS_INFORMATION process = {};
  if (!options.attach.empty()) {
    process = WaitForProcess(options.attach, options.timeoutMs);
  } else {
    std::wstring commandLine = Wide(options.commandLine);
    commandLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(Wide(options.app).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
      Fail("cannot start " + Escape(options.app) + ", error " + std::to_string(GetLastError()));
    }
    CloseHandle(process.hThread);
  }
  size_t answered = 0;
  int seen = 0;
  std::string reportedOther;
  std::string waitingAt;  // the box last seen without its scripted answer
  bool killed = false;
  Details details;
  details.process = process.hProcess;
  details.processId = process.dwProcessId;
  auto reportDetails = [&]() {
    for (const auto& list : details.lists) {
      for (const std::string& item : list.second) Line("detail " + Escape(item));
    }
  };
  while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
    if (options.details) EnumWindows(ReadListViewsOf, reinterpret_cast<LPARAM>(&details));
    if (!timeLeft()) {
      TerminateProcess(process.hProcess, 99);
      if (!waitingAt.empty()) Line(waitingAt + " -> " + options.answers[answered] + " (never offered)");
      Fail("timed out after " + std::to_string(seen) + " boxes");
    }
    WIN32_FIND_DATAW found;
    HANDLE match = options.killWhen.empty() ? INVALID_HANDLE_VALUE
                                            : FindFirstFileW(Wide(options.killWhen).c_str(), &found);
    if (match != INVALID_HANDLE_VALUE) {
      FindClose(match);
      if (found.nFileSizeLow != 0 || found.nFileSizeHigh != 0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
        Line("killed");
        killed = true;
        break;
      }
    }
    Search search;
    search.processId = process.dwProcessId;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.otherClass.empty() && search.otherClass != reportedOther) {
      reportedOther = search.otherClass;
      Line("window " + Escape(search.otherClass));
    }
    if (!search.box) continue;
    HWND box = search.box;
    // Let the box finish drawing before it is read and answered.
    Sleep(150);

    ButtonSearch buttons;
    EnumChildWindows(box, FindButton, reinterpret_cast<LPARAM>(&buttons));
    int id = answered < options.answers.size() ? ButtonId(options.answers[answered]) : 0;
    std::vector<Key> keys;
    if (answered < options.answers.size() && ParseKeys(options.answers[answered], &keys)) id = IDOK;
    HWND button = nullptr;
    for (const auto& shown : buttons.buttons) {
      if (shown.first == id) button = shown.second;
    }
    // Keys wait for the OK button or, in a box without one, for any button.
    for (size_t i = 0; !keys.empty() && !button && i < buttons.buttons.size(); ++i) {
      if (IsWindowEnabled(buttons.buttons[i].second)) button = buttons.buttons[i].second;
    }
    std::string line = "box \"" + Escape(WindowText(box)) + "\" \"";
    wchar_t text[8192] = {};
    GetDlgItemTextW(box, kMessageTextId, text, 8192);
    line += Escape(Utf8(text)) + "\" [";
    for (size_t i = 0; i < buttons.buttons.size(); ++i) {
      const char* name = ButtonName(buttons.buttons[i].first);
      if (i != 0) line += ' ';
      line += name ? name : std::to_string(buttons.buttons[i].first).c_str();
      if ((GetWindowLongA(buttons.buttons[i].second, GWL_STYLE) & BS_TYPEMASK) ==
          BS_DEFPUSHBUTTON) {
        line += '*';
      }
    }
    // A dialog with no button shown is none a user could press on (one
    // that a process leaves as it ends).
    if (buttons.buttons.empty()) continue;
    // A box with no answer left is reported at once; one without its
    // button shown and enabled, or without the text asked for, is waited on.
    if (id != 0 && (!button || !IsWindowEnabled(button) ||
                    (!options.whenShown.empty() && answered + 1 == options.answers.size() &&
                     (WindowText(box) + Shown(box)).find(options.whenShown) == std::string::npos))) {
      waitingAt = line + "]";
      continue;
    }
    waitingAt.clear();
    ++seen;
    // A box still being painted is looked at again.
    std::string icon = IconOf(box);
    for (int attempt = 0; icon == "unknown-icon" && attempt < 20; ++attempt) {
      Sleep(100);
      icon = IconOf(box);
    }
    line += "] " + icon;
    if (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) line += " topmost";
    std::string shownLines;
    if (options.show) EnumChildWindows(box, AddShownLine, reinterpret_cast<LPARAM>(&shownLines));

    if (seen == options.pauseAt && !options.pauseFile.empty()) {
      HANDLE shown = CreateFileA((options.pauseFile + ".shown").c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, 0, nullptr);
      if (shown != INVALID_HANDLE_VALUE) CloseHandle(shown);
      while (!FileThere(options.pauseFile + ".go") && timeLeft()) Sleep(50);
    }
    if (seen == options.gameEndsAt) EndGame(&game);

    if (answered >= options.answers.size()) {
      Line(line + " -> (none scripted)" + shownLines);
      TerminateProcess(process.hProcess, 99);
      Fail("a box that the script did not expect");
    }
    ++answered;
    std::string before = Shown(box);
    if (!keys.empty()) {
      Line(line + " -> " + options.answers[answered - 1] + shownLines);
      SendKeys(box, keys);
    } else {
      Line(line + " -> " + ButtonName(id) + shownLines);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }
    while (IsWindow(box) && IsWindowVisible(box) && IsWindowEnabled(box) && Shown(box) == before &&
           WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
      if (!timeLeft()) {
        TerminateProcess(process.hProcess, 99);
        Fail("the box did not close");
      }
    }
    if (options.leave && answered == options.answers.size() &&
        WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
      CloseHandle(process.hProcess);
      EndGame(&game);
      reportDetails();
      Line("left");
      return 0;
    }
  }
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  EndGame(&game);
  reportDetails();
  if (!killed) Line("exit " + std::to_string(status));
  if (answered != options.answers.size()) {
    Fail("only " + std::to_string(answered) + " of " + std::to_string(options.answers.size()) +
         " scripted answers were used");
  }
  return 0;
}

// --- The lines to expect ------------------------------------------------------

// text as the installer shows it: at most 2047 bytes in code page codePage,
// cut after the last whole character that fits.
std::string AsShown(const std::string& text, UINT codePage) {
  std::wstring wide = Wide(text);
  int bytes = 0;
  size_t kept = 0;
  while (kept < wide.size()) {
    int units = IS_HIGH_SURROGATE(wide[kept]) && kept + 1 < wide.size() ? 2 : 1;
    bytes += WideCharToMultiByte(codePage, 0, &wide[kept], units, nullptr, 0, nullptr, nullptr);
    if (bytes > kMessageBufferSize - 1) break;
    kept += units;
  }
  return Utf8(wide.c_str(), static_cast<int>(kept));
}

std::string Expected(const Box& box, const std::string& answer, UINT codePage) {
  const char* const icons[] = {"no-icon", "stop", "question", "warning", "information"};
  UINT buttons = box.style & MB_TYPEMASK;
  return "box \"" + Escape(box.caption) + "\" \"" + Escape(AsShown(box.text, codePage)) + "\" " +
         (buttons == MB_YESNO ? "[Yes* No]" : buttons == MB_RETRYCANCEL ? "[Retry* Cancel]" : "[OK*]") +
         " " + icons[(box.style & MB_ICONMASK) >> 4] + " -> " + answer;
}

int ReportExpected(const std::vector<std::string>& argv) {
  UINT codePage = CP_UTF8;
  size_t i = 2;
  auto next = [&]() -> std::string {
    if (i >= argv.size()) Fail("expect: a value is missing at the end");
    return argv[i++];
  };
  while (i < argv.size()) {
    std::string what = next();
    std::string value = what == "running" || what == "killed" ? "" : next();
    if (what == "--code-page") codePage = static_cast<UINT>(atoi(value.c_str()));
    else if (what == "question") Line(Expected(QuestionBox(value), next(), codePage));
    else if (what == "installed") Line(Expected(DoneBox(value), "OK", codePage));
    else if (what == "already") Line(Expected(AlreadyBox(value), "OK", codePage));
    else if (what == "not-found") Line(Expected(NotFoundBox(value), "OK", codePage));
    else if (what == "invalid") Line(Expected(InvalidBox(value), "OK", codePage));
    else if (what == "running") Line(Expected(RunningBox(), next(), codePage));
    else if (what == "copy-failed") Line(Expected(CopyErrorBox(value, next() + "\r\n"), "OK", codePage));
    else if (what == "copy-refused") Line(Expected(CopyErrorBox(value, next()), "OK", codePage));
    else if (what == "exit") Line("exit " + value);
    else if (what == "killed") Line("killed");
    else Fail("expect: unknown " + what);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** wideArgv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> argv;
  for (int i = 0; i < argc; ++i) argv.push_back(Utf8(wideArgv[i]));
  if (argc == 4 && argv[1] == "game") return RunGame(argv[2].c_str(), argv[3].c_str());
  if (argc == 3 && argv[1] == "resources") return ReportResources(argv[2].c_str());
  if (argc >= 2 && argv[1] == "expect") return ReportExpected(argv);
  if (argc >= 2 && argv[1] == "run") return Run(ParseRun(argv));
  Fail("usage: driver run (--app PATH --cmdline-hex HEX | --attach IMAGE) --answers A,B,... | "
       "driver expect WHAT... | driver game R Q | driver resources PATH");
}
