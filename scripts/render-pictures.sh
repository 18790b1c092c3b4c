#!/usr/bin/env bash
# Renders every kind of message box the installer shows, on a real X display
# (a private Xvfb), into docs/: the GTK dialogs of the Linux program
# (docs/gtk-KIND.png, framed by openbox so that the caption shows) and, when
# build/windows/levelset-installer.exe has been built, the Windows boxes
# under Wine (docs/windows-KIND.png; the question is
# docs/windows-question-box.png, since docs/windows-question.png is the
# Windows tests' own screen shot), and, when the setup has been built
# (target "setup"), its directory page (docs/windows-setup-directory.png).
# Each picture is cropped to the box's window.
#
#   scripts/render-pictures.sh [gtk|windows|all]     (default: all)
#
# KIND: question, installed, already-installed, game-running, not-found,
# invalid, copy-failure. The level sets live in /tmp/quillomar-pictures, the
# path that the not-found, invalid and copy-failure boxes show.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
which=${1:-all}
docs=$root/docs
pictures=$root/build/pictures
source tests/desktop/lib.sh
mkdir -p "$docs" "$pictures"

made=()
problems=()
problem() { problems+=("$1"); echo "problem: $1" >&2; }

# Saves window id, with the frame around it when frame is "frame", as
# docs/NAME.png. A window that goes away while it is being read can leave
# import waiting on the server; the timeout ends that.
shoot() {  # ID NAME [frame]
  local id=$1 out=$docs/$2.png frame=()
  [ "${3:-}" = frame ] && frame=(-frame)
  sleep 0.5  # let the box finish drawing
  if timeout 20 import "${frame[@]}" -window "$id" -strip "$out" 2>"$pictures/import.log"; then
    made+=("$out ($(identify -format '%wx%h' "$out"))")
  else
    problem "$2: import failed: $(cat "$pictures/import.log")"
  fi
}

# --- GTK ---------------------------------------------------------------------
render_gtk() {
  scripts/install-deps.sh xvfb xdotool x11-utils imagemagick openbox procps util-linux >/dev/null || return 1
  local build=$root/build/desktop
  if [ ! -x "$build/levelset-installer" ]; then
    cmake --preset desktop >/dev/null && cmake --build --preset desktop >/dev/null || return 1
  fi
  start_display || return 1
  openbox >/dev/null 2>&1 &
  local wm=$!
  sleep 1

  local top=/tmp/quillomar-pictures
  rm -rf "$top"
  local game=$top/Quillomar downloads=$top/Downloads
  mkdir -p "$game" "$downloads"
  cp "$build/levelset-installer" "$game/"
  export XDG_RUNTIME_DIR=$top/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  local set="$downloads/Ocean%20Set[2].qlm"
  printf 'level set\n' >"$set"

  # gtk_box KIND SOURCE TITLE-TO-SHOOT [TITLE KEYS]...: answers the boxes
  # before the one to shoot, shoots it, then closes it with Escape.
  gtk_box() {
    local kind=$1 source=$2 target=$3 id pid seen=""
    shift 3
    "$game/levelset-installer" "$source" >/dev/null 2>&1 &
    pid=$!
    while [ $# -ge 2 ]; do
      id=$(wait_window "$1" "$pid" "$seen") || { problem "gtk-$kind: no box \"$1\""; break; }
      seen="$seen $id"
      press_keys "$id" "$2" && wait_window_gone "$id"
      shift 2
    done
    if id=$(wait_window "$target" "$pid" "$seen"); then
      shoot "$id" "gtk-$kind" frame
      press_keys "$id" Escape
    else
      problem "gtk-$kind: no box \"$target\""
    fi
    wait_exit "$pid"
  }

  rm -rf "$game/Levels"
  gtk_box question "$set" "Quillomar"
  gtk_box installed "$set" "Level Set Installed" "Quillomar" Return
  gtk_box already-installed "$game/Levels/Ocean Set.qlm" "Level Set Installed" "Quillomar" Return
  rm -rf "$game/Levels"
  flock -x "$XDG_RUNTIME_DIR/QovCurrentlyRunningMutex" sleep 300 &
  local lock=$!
  sleep 0.5
  gtk_box game-running "$set" "Quillomar is Running" "Quillomar" Return
  pkill -P "$lock"
  wait "$lock" 2>/dev/null
  gtk_box not-found "$downloads/Ocean Set.qlm" "Level Set Not Found"
  printf 'notes\n' >"$downloads/Ocean Set.txt"
  gtk_box invalid "$downloads/Ocean Set.txt" "Invalid File"
  mkdir "$downloads/Ocean Set.qlm"
  gtk_box copy-failure "$downloads/Ocean Set.qlm" "Error Installing Level Set" "Quillomar" Return

  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  stop_display
  rm -rf "$top"
}

# --- Windows under Wine --------------------------------------------------------
render_windows() {
  local exe=$root/build/windows/levelset-installer.exe
  if [ ! -f "$exe" ]; then
    echo "Windows boxes skipped: $exe is not built (see the windows preset)"
    return 0
  fi
  scripts/install-deps.sh xvfb xdotool x11-utils imagemagick wine wine64 fonts-wine \
    gcc-mingw-w64-x86-64 >/dev/null || return 1
  export WINEPREFIX=$pictures/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  start_display || return 1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # No window manager: Wine draws the frames and captions itself, in the
  # Windows manner.
  local setting
  for setting in Decorated Managed; do
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v "$setting" /t REG_SZ /d N /f >/dev/null 2>&1
  done
  local drive=$WINEPREFIX/drive_c
  cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$drive/windows/Fonts/" 2>/dev/null

  # A stand-in for a running game: holds the game's named mutex and says so
  # by creating the file named by its argument.
  if [ ! -f "$pictures/game-stand-in.exe" ]; then
    cat >"$pictures/game-stand-in.c" <<'CODE'
#include <windows.h>
int main(int argc, char** argv) {
  HANDLE mutex = CreateMutexA(NULL, TRUE, "QovCurrentlyRunningMutex");
  if (!mutex || argc < 2) return 1;
  CloseHandle(CreateFileA(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  Sleep(INFINITE);
  return 0;
}
CODE
    x86_64-w64-mingw32-gcc -O2 -o "$pictures/game-stand-in.exe" "$pictures/game-stand-in.c" || return 1
  fi

  local game=$drive/Games/Quillomar downloads=$drive/users/Public/Downloads
  rm -rf "$game" "$downloads"
  mkdir -p "$game" "$downloads"
  cp "$exe" "$game/"
  cp "$pictures/game-stand-in.exe" "$drive/"
  printf 'level set\r\n' >"$downloads/Ocean%20Set[2].qlm"
  local app='C:\Games\Quillomar\levelset-installer.exe'
  local set='C:\Users\Public\Downloads\Ocean%20Set[2].qlm'

  # windows_box NAME SOURCE TITLE-TO-SHOOT CLOSE-KEYS [TITLE KEYS]...
  windows_box() {
    local name=$1 source=$2 target=$3 close=$4 id pid seen=""
    shift 4
    wine "$app" "$source" >/dev/null 2>&1 &
    pid=$!
    while [ $# -ge 2 ]; do
      id=$(wait_window "$1" "" "$seen") || { problem "$name: no box \"$1\""; break; }
      seen="$seen $id"
      press_keys "$id" "$2" && wait_window_gone "$id"
      shift 2
    done
    if id=$(wait_window "$target" "" "$seen"); then
      shoot "$id" "$name"
      press_keys "$id" $close
    else
      problem "$name: no box \"$target\""
    fi
    wait_exit "$pid"
  }

  windows_box windows-question-box "$set" "Quillomar" alt+n
  windows_box windows-installed "$set" "Level Set Installed" Return "Quillomar" alt+y
  windows_box windows-already-installed 'C:\Games\Quillomar\Levels\Ocean Set.qlm' \
    "Level Set Installed" Return "Quillomar" alt+y
  rm -rf "$game/Levels" "$drive/game-ready"
  wine 'C:\game-stand-in.exe' 'C:\game-ready' >/dev/null 2>&1 &
  local waited=0
  while [ ! -e "$drive/game-ready" ] && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  windows_box windows-game-running "$set" "Quillomar is Running" Escape "Quillomar" alt+y
  wineserver -k >/dev/null 2>&1  # ends the stand-in
  wineserver -w >/dev/null 2>&1
  windows_box windows-not-found 'C:\Users\Public\Downloads\Ocean Set.qlm' "Level Set Not Found" Return
  printf 'notes\r\n' >"$downloads/Ocean Set.txt"
  windows_box windows-invalid 'C:\Users\Public\Downloads\Ocean Set.txt' "Invalid File" Return
  mkdir "$downloads/Ocean Set.qlm"
  windows_box windows-copy-failure 'C:\Users\Public\Downloads\Ocean Set.qlm' \
    "Error Installing Level Set" Return "Quillomar" alt+y

  local setup
  setup=$(ls "$root"/build/windows/quillomar-levelset-installer-*-setup.exe 2>/dev/null | head -n 1)
  if [ -z "$setup" ]; then
    echo "the setup's page skipped: it is not built (cmake --build --preset windows --target setup)"
  else
    wine "$setup" >/dev/null 2>&1 &
    # (a pattern: NSIS ends the window's name with a blank)
    if id=$(wait_window "Quillomar Level-Set Installer Setup ?" "" ""); then
      shoot "$id" windows-setup-directory
    else
      problem "windows-setup-directory: no setup window"
    fi
  fi

  wineserver -k >/dev/null 2>&1
  stop_display
}

case $which in
  gtk) render_gtk || problem "the GTK pictures could not be made" ;;
  windows) render_windows || problem "the Windows pictures could not be made" ;;
  all)
    render_gtk || problem "the GTK pictures could not be made"
    render_windows || problem "the Windows pictures could not be made"
    ;;
  *) echo "usage: $0 [gtk|windows|all]" >&2; exit 2 ;;
esac

printf 'made %s\n' "${made[@]}"
[ ${#problems[@]} -eq 0 ] || { printf 'problem: %s\n' "${problems[@]}"; exit 1; }
