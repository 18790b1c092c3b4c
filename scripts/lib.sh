# What the test scripts share, sourced by each: a ledger of results that ends
# in one closing line, a private X display, and a checked way into a
# directory that is about to be emptied.

# --- The ledger -----------------------------------------------------------------
ledger_passed=0
ledger_failed=0
ledger_failures=()

# record NAME STATUS [DETAIL...]: counts one result and says it; the details
# of a failure are shown under it.
record() {
  local name=$1 status=$2
  shift 2
  if [ "$status" -eq 0 ]; then
    ledger_passed=$((ledger_passed + 1))
    echo "PASS  $name"
  else
    ledger_failed=$((ledger_failed + 1))
    ledger_failures+=("$name")
    echo "FAIL  $name"
    [ $# -eq 0 ] || printf '      %s\n' "$@"
  fi
}

# check NAME COMMAND...: runs the command with its output shown, and records
# it with the time it took.
check() {
  local name=$1 start=$SECONDS status=0
  shift
  echo "--- $name"
  "$@" || status=$?
  record "$name ($((SECONDS - start)) s)" "$status"
  return "$status"
}

# quietly COMMAND...: runs the command (in a subshell) and shows its output
# only when it fails.
quietly() {
  local output status=0
  output=$("$@" 2>&1) || status=$?
  [ $status -eq 0 ] || printf '%s\n' "$output" | sed 's/^/      /'
  return "$status"
}

# expect NAME COMMAND...: a short check: runs the command quietly and records
# it, its output shown only when it fails.
expect() {
  local name=$1 output status=0
  shift
  output=$("$@" 2>&1) || status=$?
  record "$name" "$status"
  [ $status -eq 0 ] || printf '%s\n' "$output" | sed 's/^/      /'
  return "$status"
}

# ledger_end LABEL: the closing line, "LABEL: N passed, M failed"; fails when
# anything failed.
ledger_end() {
  [ $ledger_failed -eq 0 ] || printf '%s failed: %s\n' "$1" "$(printf '\n  %s' "${ledger_failures[@]}")"
  echo "$1: $ledger_passed passed, $ledger_failed failed"
  [ $ledger_failed -eq 0 ]
}

# --- A private X display -----------------------------------------------------------
display_xvfb_pid=""

# start_display: a private Xvfb on a free display, exported as DISPLAY (or the
# display named by DESKTOP_DISPLAY instead). The caller's EXIT trap calls
# stop_display, so that it goes however the script ends.
start_display() {
  unset WAYLAND_DISPLAY
  export GDK_BACKEND=x11 NO_AT_BRIDGE=1
  if [ -n "${DESKTOP_DISPLAY:-}" ]; then
    export DISPLAY=$DESKTOP_DISPLAY
    return 0
  fi
  local fdfile
  fdfile=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fdfile" >/dev/null 2>&1 &
  display_xvfb_pid=$!
  local waited=0
  while [ ! -s "$fdfile" ]; do
    sleep 0.1
    waited=$((waited + 1))
    if [ $waited -ge 100 ] || ! kill -0 "$display_xvfb_pid" 2>/dev/null; then
      echo "Xvfb did not start" >&2
      rm -f "$fdfile"
      return 1
    fi
  done
  export DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
  rm -f "$fdfile"
}

stop_display() {
  if [ -n "$display_xvfb_pid" ]; then
    kill "$display_xvfb_pid" 2>/dev/null
    wait "$display_xvfb_pid" 2>/dev/null
    display_xvfb_pid=""
  fi
}

# --- Emptying a directory -------------------------------------------------------------

# fresh_directory DIR: DIR, empty, for this script's own use; refuses a
# path that is empty or the root.
fresh_directory() {
  case $1 in "" | / | /*/..* | ..*) echo "refusing to empty '$1'" >&2; return 1 ;; esac
  rm -rf -- "$1" && mkdir -p -- "$1"
}

# --- Wine ------------------------------------------------------------------------------
# How every test runs a Windows program, said once: Debian's 64-bit Wine, no
# debug output, no prompts for Wine's .NET and HTML engines (nothing here
# needs them), and a UTF-8 locale, the default Western one (code page 1252)
# unless WINE_LANG names another (ja_JP.UTF-8 gives code page 932). CTest
# runs the Windows tests through scripts/wine, which says the same.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_environment() {
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset LC_ALL LC_CTYPE LANGUAGE
  export LANG=${WINE_LANG:-C.UTF-8}
}
