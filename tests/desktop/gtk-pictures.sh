#!/usr/bin/env bash
# Pictures every kind of GTK dialog the Linux program shows, on a private
# Xvfb display framed by openbox (so that the caption shows), as
# PICTURES/gtk-KIND.png; scripts/render-pictures.sh installs what it needs
# and runs it for docs/.
#
#   tests/desktop/gtk-pictures.sh PROGRAM PICTURES
#
# KIND: question, installed, already-installed, game-running, not-found,
# invalid, copy-failure. The level sets live in /tmp/quillomar-pictures, the
# path that the not-found, invalid and copy-failure boxes show.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
[ $# -eq 2 ] && [ -x "$1" ] || { echo "usage: $0 PROGRAM PICTURES" >&2; exit 2; }
program=$(realpath "$1")
mkdir -p "$2" && pictures=$(cd "$2" && pwd) || exit 2
log=$(mktemp) || exit 2
trap 'stop_display; rm -f "$log"' EXIT

# Saves window id, with the frame around it, as NAME.png among the pictures.
# A window that goes away while it is being read can leave import waiting on
# the server; the timeout ends that.
shoot() {  # ID NAME
  sleep 0.5  # let the box finish drawing
  timeout 20 import -frame -window "$1" -strip "$pictures/$2.png" 2>"$log"
  record "$2 ($(identify -format '%wx%h' "$pictures/$2.png" 2>/dev/null))" $? "$(cat "$log")"
}

render() {
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
  cp "$program" "$game/"
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

render || record "the GTK pictures could be made" 1
ledger_end gtk-pictures
