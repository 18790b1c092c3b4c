# Helpers for driving the installer's GTK message boxes on an X display as a
# user would: find a box by its caption, give it the keyboard focus, press
# keys through XTEST, and wait for it to go. Sourced by the desktop tests
# and the picture script.

desktop_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
DESKTOP_TIMEOUT=${DESKTOP_TIMEOUT:-15}  # seconds to wait for a box or an exit
# The ledger and the private display are the test scripts' common ones.
source "$desktop_here/../../scripts/lib.sh"

# Sets what the installer says, as tests/texts.h has it, as shell variables:
# caption_question, caption_installed, caption_running, caption_not_found,
# caption_invalid, caption_copy_error, and lock_name (the game lock's name).
load_texts() {
  local program key text
  program=$(mktemp) || return 1
  c++ -std=c++20 -I"$desktop_here/../.." -o "$program" "$desktop_here/print-texts.cpp" &&
    while IFS=$'\t' read -r key text; do printf -v "$key" '%s' "$text"; done < <("$program")
  local status=$?
  rm -f "$program"
  [ $status -eq 0 ] && [ -n "${lock_name:-}" ]
}

# Prints the id of a visible window whose name is exactly title and, when
# pid is not empty, that belongs to that process; skips the ids in "skip".
# Waits up to DESKTOP_TIMEOUT seconds; returns 1 when none came.
wait_window() {
  local title=$1 pid=$2 skip=${3:-}
  local deadline=$((SECONDS + DESKTOP_TIMEOUT)) ids id
  while [ $SECONDS -lt $deadline ]; do
    if [ -n "$pid" ]; then
      ids=$(xdotool search --all --onlyvisible --pid "$pid" --name "^${title}\$" 2>/dev/null)
    else
      ids=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null)
    fi
    for id in $ids; do
      case " $skip " in *" $id "*) continue ;; esac
      echo "$id"
      return 0
    done
    sleep 0.1
  done
  return 1
}

# Waits until window id is no longer shown.
wait_window_gone() {
  local id=$1 deadline=$((SECONDS + DESKTOP_TIMEOUT))
  while [ $SECONDS -lt $deadline ]; do
    xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' || return 0
    sleep 0.1
  done
  return 1
}

# Gives window id the keyboard focus and presses keys (xdotool key names).
press_keys() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id" >/dev/null 2>&1 || xdotool windowfocus "$id" || return 1
  sleep 0.2  # let GTK take the focus change before the first key
  xdotool key --clearmodifiers --delay 50 "$@"
}

# Asks window id to close, as a window manager's close button does.
close_window() {
  /usr/bin/python3 "$desktop_here/close-window.py" "$1"
}

# Waits for process pid, a child of this shell, to end and sets exit_status
# to its exit status, or to "timeout" after killing it when it runs past
# DESKTOP_TIMEOUT seconds. Not to be called in a subshell: only the shell
# that started the process can collect its status.
wait_exit() {
  local pid=$1 deadline=$((SECONDS + DESKTOP_TIMEOUT))
  while kill -0 "$pid" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      exit_status=timeout
      return 1
    fi
    sleep 0.1
  done
  exit_status=0
  wait "$pid" || exit_status=$?
}

# The names of the visible windows, for a failure report.
visible_windows() {
  local id
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    printf '  %s "%s"\n' "$id" "$(xdotool getwindowname "$id" 2>/dev/null)"
  done
}
