#!/usr/bin/env bash
# The installer's GTK message boxes on a real X display (a private Xvfb),
# answered from the keyboard as a user answers them. Each case runs a copy of
# the built program in a fresh game directory, so that `Levels` is created
# beside it, and checks the boxes that come, the exit status and the copy.
#
# Usage: tests/desktop/gtk-dialogs.sh PATH-TO-levelset-installer
# Needs: Xvfb, xdotool, xwininfo, python3-xlib, flock, a C++ compiler.
set -uo pipefail
program=${1:?usage: gtk-dialogs.sh PATH-TO-levelset-installer}
[ -x "$program" ] || { echo "no program at $program" >&2; exit 2; }
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
lock_pid=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  release_game
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
load_texts || { echo "the installer's texts could not be had from tests/texts.h" >&2; exit 1; }
start_display || exit 1

# The game lock lives in the runtime directory; a private one keeps a real
# game of the user out of the way.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
game_lock=$XDG_RUNTIME_DIR/$lock_name

# --- one case ---------------------------------------------------------------
case_begin() {
  case_name=$1
  case_ok=1
  case_reason=""
  case_dir=$work/case$((ledger_passed + ledger_failed))
  game=$case_dir/Quillomar
  downloads=$case_dir/Downloads
  mkdir -p "$game" "$downloads"
  cp "$program" "$game/levelset-installer"
  printf 'QLM level set %s\n' "$case_name" >"$downloads/Ocean%20Set[2].qlm"
  source_file="$downloads/Ocean%20Set[2].qlm"
}

fail() {
  if [ $case_ok -eq 1 ]; then
    case_ok=0
    case_reason=$1
  fi
}

start_installer() {
  "$game/levelset-installer" "$@" >"$case_dir/output" 2>&1 &
  pid=$!
}

# step TITLE KEYS...: the next box has this caption; press the keys in it.
step() {
  [ $case_ok -eq 1 ] || return
  local title=$1 id
  shift
  if ! id=$(wait_window "$title" "$pid" "$seen"); then
    fail "no box \"$title\" came; windows shown:$(printf '\n%s' "$(visible_windows)")"
    return
  fi
  seen="$seen $id"
  if ! press_keys "$id" "$@"; then
    fail "could not press $* in \"$title\""
    return
  fi
  wait_window_gone "$id" || fail "box \"$title\" stayed open after $*"
}

# close_step TITLE: the next box has this caption; close its window.
close_step() {
  [ $case_ok -eq 1 ] || return
  local title=$1 id
  if ! id=$(wait_window "$title" "$pid" "$seen"); then
    fail "no box \"$title\" came"
    return
  fi
  seen="$seen $id"
  close_window "$id" || { fail "could not close \"$title\""; return; }
  wait_window_gone "$id" || fail "box \"$title\" stayed open after closing"
}

expect_exit() {
  wait_exit "$pid"
  pid=""
  [ $case_ok -eq 1 ] || return
  [ "$exit_status" = "$1" ] || fail "exit status $exit_status, expected $1"
}

expect_installed() {  # NAME SOURCE: Levels/NAME is a copy of SOURCE
  [ $case_ok -eq 1 ] || return
  cmp -s "$game/Levels/$1" "$2" || fail "Levels/$1 is not a copy of $(basename "$2")"
}

expect_nothing_copied() {
  [ $case_ok -eq 1 ] || return
  if [ -e "$game/Levels" ]; then
    fail "something was written: $(ls -A "$game/Levels" | tr '\n' ' ')"
  fi
}

case_end() {
  [ -n "$pid" ] && { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=""; }
  release_game
  local output=()
  [ -s "$case_dir/output" ] && mapfile -t output < <(sed 's/^/output: /' "$case_dir/output")
  record "$case_name" $((1 - case_ok)) "$case_reason" "${output[@]}"
  seen=""
}

# A stand-in for a running game: holds the game lock until released.
hold_game() {
  flock -x "$game_lock" sleep 300 &
  lock_pid=$!
  local waited=0
  until ! flock -n -s "$game_lock" true 2>/dev/null; do
    sleep 0.05
    waited=$((waited + 1))
    [ $waited -lt 100 ] || { fail "the stand-in game did not take the lock"; return; }
  done
}

release_game() {
  if [ -n "$lock_pid" ]; then
    pkill -P "$lock_pid" 2>/dev/null  # the sleep that holds the lock
    kill "$lock_pid" 2>/dev/null
    wait "$lock_pid" 2>/dev/null
    lock_pid=""
    while ! flock -n -s "$game_lock" true 2>/dev/null; do sleep 0.05; done
  fi
}

seen=""

# --- the cases ---------------------------------------------------------------
case_begin "question: Return takes the default Yes, Return closes the confirmation"
start_installer "$source_file"
step "$caption_question" Return
step "$caption_installed" Return
expect_exit 1
expect_installed "Ocean Set.qlm" "$source_file"
case_end

case_begin "question: alt+y answers Yes, alt+o presses OK"
start_installer "$source_file"
step "$caption_question" alt+y
step "$caption_installed" alt+o
expect_exit 1
expect_installed "Ocean Set.qlm" "$source_file"
case_end

case_begin "question: alt+n answers No, nothing copied"
start_installer "$source_file"
step "$caption_question" alt+n
expect_exit 0
expect_nothing_copied
case_end

case_begin "question: Tab moves to No, Return answers No"
start_installer "$source_file"
step "$caption_question" Tab Return
expect_exit 0
expect_nothing_copied
case_end

case_begin "question: Escape answers No"
start_installer "$source_file"
step "$caption_question" Escape
expect_exit 0
expect_nothing_copied
case_end

case_begin "question: closing the window answers No"
start_installer "$source_file"
close_step "$caption_question"
expect_exit 0
expect_nothing_copied
case_end

case_begin "game running: Retry (the default) asks again, Cancel ends, nothing copied"
hold_game
start_installer "$source_file"
step "$caption_question" Return
step "$caption_running" Return
step "$caption_running" alt+c
expect_exit 0
expect_nothing_copied
case_end

case_begin "game running: Escape answers Cancel"
hold_game
start_installer "$source_file"
step "$caption_question" Return
step "$caption_running" Escape
expect_exit 0
expect_nothing_copied
case_end

case_begin "game running: closing the window answers Cancel"
hold_game
start_installer "$source_file"
step "$caption_question" Return
close_step "$caption_running"
expect_exit 0
expect_nothing_copied
case_end

case_begin "game running: the game ends, alt+r retries and installs"
hold_game
start_installer "$source_file"
step "$caption_question" Return
step "$caption_running" alt+r
release_game
step "$caption_running" alt+r
step "$caption_installed" Return
expect_exit 1
expect_installed "Ocean Set.qlm" "$source_file"
case_end

case_begin "already installed: opening the installed copy says so, exit 0"
mkdir -p "$game/Levels"
cp "$source_file" "$game/Levels/Ocean Set.qlm"
start_installer "$game/Levels/Ocean Set.qlm"
step "$caption_question" Return
step "$caption_installed" Return
expect_exit 0
expect_installed "Ocean Set.qlm" "$source_file"
case_end

case_begin "not found: one OK box, exit 0"
start_installer "$downloads/Missing.qlm"
step "$caption_not_found" Return
expect_exit 0
expect_nothing_copied
case_end

case_begin "not found: Escape closes the OK box"
start_installer "$downloads/Missing.qlm"
step "$caption_not_found" Escape
expect_exit 0
expect_nothing_copied
case_end

case_begin "invalid file: one OK box, exit 0"
printf 'text\n' >"$downloads/Notes.txt"
start_installer "$downloads/Notes.txt"
step "$caption_invalid" Return
expect_exit 0
expect_nothing_copied
case_end

case_begin "copy failure: a directory named *.QLM is reported, exit 0"
mkdir "$downloads/Folder.QLM"
start_installer "$downloads/Folder.QLM"
step "$caption_question" Return
step "$caption_copy_error" Return
expect_exit 0
[ $case_ok -eq 1 ] && [ -e "$game/Levels/Folder.QLM" ] && fail "Levels/Folder.QLM was made"
case_end

ledger_end "gtk dialogs"
