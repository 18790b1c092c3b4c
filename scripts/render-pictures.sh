#!/usr/bin/env bash
# Renders every kind of message box the installer shows, on a real X display
# (a private Xvfb), into docs/: the GTK dialogs of the Linux program
# (docs/gtk-KIND.png, framed by openbox so that the caption shows) and, when
# build/windows/levelset-installer.exe has been built, the Windows boxes
# under Wine (docs/windows-KIND.png), which the Windows end-to-end scenarios
# picture on their way, with the setup's first two pages
# (docs/windows-setup-licence.png, docs/windows-setup-directory.png) when
# the setup has been built (target "setup").
#
#   scripts/render-pictures.sh [gtk|windows|all]     (default: all)
#
# KIND: question, installed, already-installed, game-running, not-found,
# invalid, copy-failure. The GTK level sets live in /tmp/quillomar-pictures,
# the path that the not-found, invalid and copy-failure boxes show.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$PWD
which=${1:-all}
docs=$root/docs
source tests/desktop/lib.sh
mkdir -p "$docs" build/pictures || exit 1
trap stop_display EXIT

# Saves window id, with the frame around it, as docs/NAME.png. A window that
# goes away while it is being read can leave import waiting on the server;
# the timeout ends that.
shoot() {  # ID NAME
  sleep 0.5  # let the box finish drawing
  timeout 20 import -frame -window "$1" -strip "$docs/$2.png" 2>build/pictures/import.log
  record "$2 ($(identify -format '%wx%h' "$docs/$2.png" 2>/dev/null))" $? "$(cat build/pictures/import.log)"
}

# --- GTK ---------------------------------------------------------------------
render_gtk() {
  scripts/install-deps.sh xvfb xdotool x11-utils imagemagick openbox procps util-linux >/dev/null || return 1
  local build=$root/build/desktop
  if [ ! -x "$build/levelset-installer" ]; then
    cmake --preset desktop >/dev/null && cmake --build --preset desktop >/dev/null || return 1
  fi
  load_texts || return 1
  start_display || return 1
  openbox >/dev/null 2>&1 &
  local wm=$!
  sleep 1

  # A fixed name in /tmp, shown in the pictures: made afresh with mkdir, which
  # never follows a name that someone else put there.
  local top=/tmp/quillomar-pictures
  if [ -d "$top" ] && [ ! -L "$top" ] && [ -O "$top" ]; then rm -r "$top"; fi
  mkdir -m 755 "$top" || { record "a directory of our own at $top" 1; return 1; }
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
      id=$(wait_window "$1" "$pid" "$seen") || { record "gtk-$kind: a box \"$1\"" 1; break; }
      seen="$seen $id"
      press_keys "$id" "$2" && wait_window_gone "$id"
      shift 2
    done
    if id=$(wait_window "$target" "$pid" "$seen"); then
      shoot "$id" "gtk-$kind"
      press_keys "$id" Escape
    else
      record "gtk-$kind: a box \"$target\"" 1
    fi
    wait_exit "$pid"
  }

  gtk_box question "$set" "$caption_question"
  gtk_box installed "$set" "$caption_installed" "$caption_question" Return
  gtk_box already-installed "$game/Levels/Ocean Set.qlm" "$caption_installed" "$caption_question" Return
  rm -r "$game/Levels"
  flock -x "$XDG_RUNTIME_DIR/$lock_name" sleep 300 &
  local lock=$!
  sleep 0.5
  gtk_box game-running "$set" "$caption_running" "$caption_question" Return
  pkill -P "$lock"
  wait "$lock" 2>/dev/null
  gtk_box not-found "$downloads/Ocean Set.qlm" "$caption_not_found"
  printf 'notes\n' >"$downloads/Ocean Set.txt"
  gtk_box invalid "$downloads/Ocean Set.txt" "$caption_invalid"
  mkdir "$downloads/Ocean Set.qlm"
  gtk_box copy-failure "$downloads/Ocean Set.qlm" "$caption_copy_error" "$caption_question" Return

  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  stop_display
  rm -r "$top"
}

# --- Windows under Wine --------------------------------------------------------
render_windows() {
  if [ ! -f build/windows/levelset-installer.exe ]; then
    echo "Windows boxes skipped: build/windows/levelset-installer.exe is not built (see the windows preset)"
    return 0
  fi
  local setup
  setup=$(ls build/windows/quillomar-levelset-installer-*-setup.exe 2>/dev/null | head -n 1)
  check "Windows boxes, pictured by the end-to-end scenarios" \
    tests/win32/e2e.sh --build build/windows --work build/pictures/wine --pictures "$docs" \
    ${setup:+--setup "$setup"}
}

case $which in
  gtk) render_gtk || record "the GTK pictures could be made" 1 ;;
  windows) render_windows ;;
  all) { render_gtk || record "the GTK pictures could be made" 1; }; render_windows ;;
  *) echo "usage: $0 [gtk|windows|all]" >&2; exit 2 ;;
esac
ledger_end pictures
