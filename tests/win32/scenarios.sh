# The machinery of the Windows end-to-end scenarios, shared by the
# program's (tests/win32/e2e.sh) and the setup's (setup/windows/tests/e2e.sh):
# the real programs in a Wine prefix, on an X server of their own (Xvfb),
# driven by levelset-driver.exe, which starts a program with an exact
# command line (or finds it started by the shell), reads every message box
# and presses the scripted buttons. On the way, each kind of box is pictured.
#
# Sourced by a scenario script, which it reads the arguments of: --build
# (the windows preset's build directory), --work, and optionally --prefix
# (an already booted Wine prefix; default: a fresh one under work, booted
# here) and --pictures (where the pictures of the boxes go, as
# windows-KIND.png; default: work/pictures), each into the variable of that
# name; an option the script lists in extra_options goes into the variable
# of its name too ("-" read as "_"). Starts the display and the prefix, then
# gives the scenario helpers; the script ends with ledger_end.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

build="" work="" prefix="" pictures=""
while [ $# -gt 0 ]; do
  case " --build --work --prefix --pictures ${extra_options[*]:-} " in
    *" $1 "*) [ $# -ge 2 ] || { echo "e2e: $1 needs a value" >&2; exit 2; }
      option=${1#--}
      printf -v "${option//-/_}" '%s' "$2"
      shift 2 ;;
    *) echo "e2e: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$build" ] && [ -n "$work" ] ||
  { echo "usage: $0 --build DIR --work DIR [--prefix DIR] [--pictures DIR] ${extra_options[*]/%/ VALUE}" >&2; exit 2; }

build=$(cd "$build" && pwd) || exit 2
mkdir -p "$work" && work=$(cd "$work" && pwd) || exit 2
pictures=${pictures:-$work/pictures}
mkdir -p "$pictures" && pictures=$(cd "$pictures" && pwd) || exit 2
installer="$build/levelset-installer.exe"
driver="$build/tests/win32/levelset-driver.exe"
for program in "$installer" "$driver"; do
  [ -f "$program" ] || { echo "e2e: $program is missing: build the windows preset first" >&2; exit 2; }
done

wine_environment

cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1
  stop_display
}
trap cleanup EXIT

# --- The display and the prefix ------------------------------------------------

start_display || exit 2
if [ -z "$prefix" ]; then
  prefix="$work/prefix"
  fresh_directory "$prefix" || exit 2
  export WINEPREFIX="$prefix"
  "$WINE" wineboot -i >"$work/wineboot.log" 2>&1 || { echo "e2e: wineboot failed" >&2; cat "$work/wineboot.log" >&2; exit 2; }
else
  WINEPREFIX=$(cd "$prefix" && pwd) || exit 2
  export WINEPREFIX
  # Wine processes of this prefix that started without this display (tests
  # run before, say) would keep a desktop that cannot show a box.
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w >/dev/null 2>&1
fi
# There is no window manager: Wine draws the frames and captions itself, and
# does not wait (2 s each time) for one to acknowledge a box being closed.
for setting in Decorated Managed; do
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v "$setting" /t REG_SZ /d N /f >/dev/null 2>&1 ||
    { echo "e2e: cannot set the X11 driver's $setting" >&2; exit 2; }
done
drive="$WINEPREFIX/drive_c"
# The glyphs of the frame buttons, from Wine's own fonts.
cp /usr/share/wine/fonts/marlett.ttf "$drive/windows/Fonts/" 2>/dev/null || true

# --- Scenario helpers -------------------------------------------------------------

# The level sets: contents of their own, with every byte value in them.
ocean="$work/ocean.bin"
deep="$work/deep.bin"
head -c 70000 /dev/urandom >"$ocean"
head -c 3000 /dev/urandom >"$deep"

app='C:\Games\Quillomar\levelset-installer.exe'
game="$drive/Games/Quillomar"
levels="$game/Levels"

# A machine with the game in C:\Games\Quillomar (the installer beside it)
# and level sets waiting in C:\Temp.
reset_machine() {
  rm -rf "$drive/Games" "$drive/Temp"
  mkdir -p "$game" "$drive/Temp/My Levels"
  cp "$installer" "$game/levelset-installer.exe"
  cp "$ocean" "$drive/Temp/Ocean%20Set[2].qlm"
  touch -d '2001-02-03 04:05:06' "$drive/Temp/Ocean%20Set[2].qlm"
  cp "$deep" "$drive/Temp/My Levels/Deep Sea-3.qlm"
  echo "shopping list" >"$drive/Temp/notes.txt"
}

# The lines to expect. Each helper names one line of the driver's report
# (its fields split by \x1f), and drive has the driver print them all from
# the installer's own texts; "echo 'exit N'" names the exit status.
question() { printf 'question\x1f%s\x1f%s\n' "$1" "$2"; }
done_box() { printf 'installed\x1f%s\n' "$1"; }
already() { printf 'already\x1f%s\n' "$1"; }
not_found() { printf 'not-found\x1f%s\n' "$1"; }
invalid() { printf 'invalid\x1f%s\n' "$1"; }
running() { printf 'running\x1f%s\n' "$1"; }
# The copy failure, with Wine's own text for the error.
copy_failed() { printf 'copy-failed\x1f%s\x1f%s\n' "$1" "$2"; }
# The copy failure, with the installer's own text (no system text).
copy_refused() { printf 'copy-refused\x1f%s\x1f%s\n' "$1" "$2"; }
killed() { echo killed; }
# Texts over 2047 bytes are cut as in code page N (default: UTF-8).
code_page() { printf -- '--code-page\x1f%s\n' "$1"; }

current=""
problems=()
picture=""

# take_picture NAME PAUSE: once the driver has stopped at the box to picture
# (it makes PAUSE.shown), the screen, cut to the box, is NAME.png among the
# pictures; then the driver goes on (PAUSE.go).
take_picture() {
  local name=$1 pause=$2 size
  for _ in $(seq 600); do [ -e "$pause.shown" ] && break; sleep 0.1; done
  if [ ! -e "$pause.shown" ]; then
    problems+=("the box to picture as $name did not appear")
  else
    sleep 0.5  # let the box finish drawing
    if import -window root "$work/screen.png" 2>"$work/import.log" &&
       convert "$work/screen.png" -trim +repage "$pictures/$name.png"; then
      size=$(identify -format '%wx%h' "$pictures/$name.png")
      [ "${size%x*}" -gt 200 ] || problems+=("the picture $name is only $size")
    else
      problems+=("$name could not be pictured: $(cat "$work/import.log")")
    fi
  fi
  touch "$pause.go"
}

# drive EXPECTED DRIVER-OPTIONS...: runs the driver and compares its report
# with EXPECTED ("*": any report). With picture set to KIND@N, box N is
# pictured as windows-KIND.png before it is answered.
drive() {
  local expected=$1
  shift
  local report="$work/$current.report" pause="$work/$current.pause" options=() words=() fields line
  if [ "$expected" != "*" ]; then
    while IFS= read -r line; do
      [[ $line == "exit "* ]] && line=${line/ /$'\x1f'}
      IFS=$'\x1f' read -r -a fields <<<"$line"
      words+=("${fields[@]}")
    done <<<"$expected"
    expected=$("$WINE" "$driver" expect "${words[@]}")
  fi
  if [ -n "$picture" ]; then
    rm -f "$pause.shown" "$pause.go"
    options=(--pause-at "${picture#*@}" --pause-file "Z:${pause//\//\\}")
  fi
  timeout 120 "$WINE" "$driver" run --timeout-ms 60000 "${options[@]}" "$@" \
    >"$report" 2>"$work/$current.stderr" &
  local runner=$!
  [ -z "$picture" ] || take_picture "windows-${picture%@*}" "$pause"
  wait "$runner"
  local status=$?
  if [ $status -ne 0 ]; then problems+=("driver ended with status $status"); fi
  [ "$expected" = "*" ] && return
  if ! diff -u <(printf '%s\n' "$expected") "$report" >"$work/$current.diff"; then
    problems+=("report differs from what was expected:")
    problems+=("$(cat "$work/$current.diff")")
  fi
}

# run_installer EXPECTED COMMAND-LINE [driver options...]
# Runs the installer from $app_override or $app with the exact command line
# (UTF-8, handed over as UTF-16 as Explorer does) and compares the driver's
# report with EXPECTED.
run_installer() {
  local expected=$1 commandLine=$2
  shift 2
  local hex
  hex=$(printf '%s' "$commandLine" | od -An -v -tx1 | tr -d ' \n')
  drive "$expected" --app "${app_override:-$app}" --cmdline-hex "$hex" "$@"
}

expect_same() {  # expect_same FILE-A FILE-B
  cmp -s "$1" "$2" || problems+=("$2 does not hold the bytes of $1")
}
expect_absent() {
  [ ! -e "$1" ] || problems+=("$1 should not exist")
}
expect_files_in_levels() {  # expect_files_in_levels NAME... (exactly these)
  local want have
  want=$(printf '%s\n' "$@" | sort)
  have=$(ls -A "$levels" 2>/dev/null | sort)
  [ "$want" = "$have" ] || problems+=("Levels holds [$(echo $have)], expected [$(echo $want)]")
}

scenario() {  # scenario NAME [--same-machine]: starts a scenario, on a fresh machine unless told
  current=$1
  problems=()
  app_override=""
  picture=""
  [ "${2:-}" = --same-machine ] || reset_machine
}

finish() {
  local details=("${problems[@]}")
  [ -s "$work/$current.stderr" ] && mapfile -t -O ${#details[@]} details < <(sed 's/^/stderr: /' "$work/$current.stderr")
  record "$current" ${#problems[@]} "${details[@]}"
}

# What Windows reads from a program file: its version (the project's, in
# four parts), the licence's copyright line, its manifest, and its icon,
# the one drawn for level sets (wrestool pads what it takes out).
repository=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
icon="$repository/packaging/icon/quillomar-levelset.ico"
copyright=$(grep -m1 '^Copyright ' "$repository/LICENSE")
expect_icon() {  # expect_icon PROGRAM
  wrestool -x -t14 "$1" | cmp -n "$(stat -c %s "$icon")" - "$icon" >/dev/null 2>&1 ||
    problems+=("$1 does not carry the level-set icon (wrestool -x -t14: $(wrestool -l "$1" 2>&1 | grep -c group_icon) icon groups)")
}

started=$(date +%s)
