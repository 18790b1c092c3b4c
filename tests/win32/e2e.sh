#!/usr/bin/env bash
# End-to-end scenarios of the Windows program, as a user meets it: the real
# levelset-installer.exe in a Wine prefix, on an X server of its own (Xvfb),
# driven by levelset-driver.exe, which starts it with an exact command line
# (or finds it started by the shell), reads every message box and presses
# the scripted buttons. On the way, each kind of box is pictured.
#
#   tests/win32/e2e.sh --build build/windows --work build/wine-e2e
#                      [--prefix DIR] [--pictures DIR]
#                      [--setup SETUP.exe [--signed-by CERT.pem]]
#
# --prefix: an already booted Wine prefix to use (default: a fresh one under
# the work directory, booted here). --pictures: where the pictures of the
# boxes go, as windows-KIND.png (default: the work directory). --setup: also
# install with the setup, open a level set through the file type and
# uninstall; --signed-by: the setup, the program in it and its uninstaller
# must carry intact signatures by that certificate. Exits non-zero when any
# scenario fails.
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"

build=""
work=""
prefix=""
pictures=""
setup=""
signed_by=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --pictures) pictures=$2; shift 2 ;;
    --setup) setup=$(realpath "$2"); shift 2 ;;
    --signed-by) signed_by=$(realpath "$2"); shift 2 ;;
    *) echo "e2e: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$build" ] && [ -n "$work" ] || { echo "usage: $0 --build DIR --work DIR [--prefix DIR] [--pictures DIR] [--setup EXE [--signed-by PEM]]" >&2; exit 2; }

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
  for _ in $(seq 300); do [ -e "$pause.shown" ] && break; sleep 0.1; done
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

started=$(date +%s)

# --- Scenarios --------------------------------------------------------------------

scenario road-of-one-request
picture=installed@2
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_same "$ocean" "$drive/Temp/Ocean%20Set[2].qlm"
[ "$(stat -c %Y "$levels/Ocean Set.qlm")" = "$(stat -c %Y "$drive/Temp/Ocean%20Set[2].qlm")" ] ||
  problems+=("the copy does not keep the source's modification time")
expect_files_in_levels 'Ocean Set.qlm'
finish

scenario empty-tail
run_installer 'exit 0' '"C:\Games\Quillomar\levelset-installer.exe"   ' --answers ''
expect_absent "$levels"
finish

scenario not-found
picture=not-found@1
run_installer "$(not_found 'C:\Temp\Ocean Set.qlm'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean Set.qlm"' --answers ok
expect_absent "$levels"
finish

scenario not-a-level-set
picture=invalid@1
run_installer "$(invalid 'C:\Temp\notes.txt'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\notes.txt"' --answers ok
expect_absent "$levels"
finish

scenario answer-no
run_installer "$(question 'Ocean Set' No; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers no
expect_absent "$levels"
finish

scenario already-installed
picture=already-installed@2
mkdir -p "$levels" && cp "$ocean" "$levels/Ocean Set.qlm"
run_installer "$(question 'Ocean Set' Yes; already 'Ocean Set'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Games\Quillomar\Levels\Ocean Set.qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels 'Ocean Set.qlm'
finish

scenario already-installed-other-letter-case
mkdir -p "$levels" && cp "$ocean" "$levels/Ocean Set.qlm"
run_installer "$(question 'oCEAN sET' Yes; already 'oCEAN sET'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "c:\gAMES\QUILLOMAR\levels\oCEAN sET.QlM"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels 'Ocean Set.qlm'
finish

scenario installed-copy-spelled-with-slashes
mkdir -p "$levels" && cp "$ocean" "$levels/Ocean Set.qlm"
run_installer "$(question 'Ocean Set' Yes; copy_failed 'C:/Games/Quillomar/Levels/Ocean Set.qlm' 'Sharing violation.'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:/Games/Quillomar/Levels/Ocean Set.qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels 'Ocean Set.qlm'
finish

scenario replaces-read-only-copy
mkdir -p "$levels" && echo "an older Ocean Set" >"$levels/Ocean Set.qlm" && chmod 0444 "$levels/Ocean Set.qlm"
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
[ "$(stat -c %A "$levels/Ocean Set.qlm" | cut -c3)" = w ] || problems+=("the new copy is left read-only")
finish

scenario directory-named-like-a-level-set
picture=copy-failure@2
mkdir -p "$drive/Temp/Folder.qlm"
run_installer "$(question 'Folder' Yes; copy_failed 'C:\Temp\Folder.qlm' 'Access denied.'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Folder.qlm"' --answers yes,ok
expect_files_in_levels
finish

scenario game-running-retry-until-it-ends
run_installer "$(question 'Ocean Set' Yes; running Retry; running Retry; done_box 'Ocean Set'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' \
  --answers yes,retry,retry,ok --game-ends-at 3
expect_same "$ocean" "$levels/Ocean Set.qlm"
finish

scenario game-running-cancel
picture=game-running@2
run_installer "$(question 'Ocean Set' Yes; running Retry; running Cancel; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' \
  --answers yes,retry,cancel --game
expect_absent "$levels"
finish

# A command line that begins with a blank has no program name: the tail is
# the whole line, and its first quoted part is the installer itself.
scenario leading-blank-then-program
run_installer "$(invalid 'C:\Games\Quillomar\levelset-installer.exe'; echo 'exit 0')" \
  ' "C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers ok
expect_absent "$levels"
finish

scenario leading-blanks-then-level-set
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  '  "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
finish

scenario words-before-and-after-the-quotes
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  'C:\Games\Quillomar\levelset-installer.exe /open "C:\Temp\Ocean%20Set[2].qlm" now please' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels 'Ocean Set.qlm'
finish

scenario unquoted-path-with-blanks
run_installer "$(question 'Deep Sea' Yes; done_box 'Deep Sea'; echo 'exit 1')" \
  'C:\Games\Quillomar\levelset-installer.exe C:\Temp\My Levels\Deep Sea-3.qlm' --answers yes,ok
expect_same "$deep" "$levels/Deep Sea.qlm"
expect_files_in_levels 'Deep Sea.qlm'
finish

# The program directory keeps its "%20": the copy lands in that directory's
# own Levels, and no directory with a blank appears.
scenario program-directory-with-percent-20
mkdir -p "$drive/Games/Sea%20Games"
mv "$game/levelset-installer.exe" "$drive/Games/Sea%20Games/levelset-installer.exe"
app_override='C:\Games\Sea%20Games\levelset-installer.exe'
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  '"C:\Games\Sea%20Games\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
expect_same "$ocean" "$drive/Games/Sea%20Games/Levels/Ocean Set.qlm"
expect_absent "$drive/Games/Sea Games"
expect_absent "$levels"
finish

# Another user has linked Levels\Ocean Set.qlm to a read-only file of theirs
# elsewhere: the install replaces the name, and the file elsewhere keeps its
# contents and stays read-only.
scenario hard-link-in-levels
mkdir -p "$levels" && echo "not a level set" >"$drive/Temp/elsewhere.txt" &&
  chmod 0444 "$drive/Temp/elsewhere.txt" && ln "$drive/Temp/elsewhere.txt" "$levels/Ocean Set.qlm" ||
  problems+=("cannot link Levels\\Ocean Set.qlm to a file elsewhere")
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
[ "$(cat "$drive/Temp/elsewhere.txt")" = "not a level set" ] || problems+=("the file elsewhere was written through the link")
[ "$(stat -c %a "$drive/Temp/elsewhere.txt")" = 444 ] || problems+=("the file elsewhere is no longer read-only")
expect_files_in_levels 'Ocean Set.qlm'
finish

# Another user has made the empty Levels a link to a folder of an
# administrator's (a junction on Windows; Wine makes none, and a Unix link,
# which it follows even when asked not to, stands for one). The install is
# refused with nothing written there: no level set, no temporary file, and
# the read-only file there keeps its contents and its attribute.
scenario levels-is-a-link
mkdir -p "$drive/Elsewhere" && echo "an administrator's file" >"$drive/Elsewhere/Ocean Set.qlm" &&
  chmod 0444 "$drive/Elsewhere/Ocean Set.qlm" && ln -s ../../Elsewhere "$levels" ||
  problems+=("cannot make Levels a link to C:\\Elsewhere")
run_installer "$(question 'Ocean Set' Yes; copy_refused 'C:\Temp\Ocean%20Set[2].qlm' 'Error 681 (the system has no text for it).'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
[ "$(ls -A "$drive/Elsewhere")" = 'Ocean Set.qlm' ] || problems+=("C:\\Elsewhere holds [$(ls -A "$drive/Elsewhere")]")
[ "$(cat "$drive/Elsewhere/Ocean Set.qlm")" = "an administrator's file" ] || problems+=("the file in C:\\Elsewhere was replaced")
[ "$(stat -c %a "$drive/Elsewhere/Ocean Set.qlm")" = 444 ] || problems+=("the file in C:\\Elsewhere is no longer read-only")
rm -rf "$drive/Elsewhere"
finish

# Another user's link in the middle of the source's path (a junction on
# Windows, a Unix link under Wine, whose owner Wine cannot show) leads to
# the player's private folder: the player's file is not published in Levels.
scenario link-in-the-source-path
mkdir -p "$drive/Shared" "$drive/users/victim/Documents" && cp "$ocean" "$drive/users/victim/Documents/secret.qlm" &&
  ln -s ../users/victim/Documents "$drive/Shared/pack" && chown -h nobody "$drive/Shared/pack" ||
  problems+=("cannot link C:\\Shared\\pack to the victim's Documents")
run_installer "$(question 'secret' Yes
    copy_refused 'C:\Shared\pack\secret.qlm' "'C:\Shared\pack\secret.qlm' is another user's link to a file that is not theirs"
    echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Shared\pack\secret.qlm"' --answers yes,ok
expect_files_in_levels
rm -rf "$drive/Shared" "$drive/users/victim"
finish

# The installer killed half way through a large copy leaves the old copy
# whole and nothing the game reads. The next install clears the leftover
# away, but not one of another user's.
scenario killed-during-a-large-copy
mkdir -p "$levels" "$drive/Temp/Big" && cp "$deep" "$levels/Ocean Set.qlm" &&
  truncate -s 2G "$drive/Temp/Big/Ocean Set.qlm"
run_installer "$(question 'Ocean Set' Yes; killed)" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Big\Ocean Set.qlm"' --answers yes \
  --kill-when 'C:\Games\Quillomar\Levels\.levelset-*.tmp'
expect_same "$deep" "$levels/Ocean Set.qlm"
leftover=$(ls -A "$levels" | grep -vx 'Ocean Set.qlm')
[[ $leftover =~ ^\.levelset-[0-9a-f]{16}\.tmp$ ]] || problems+=("beside the old copy: [$leftover], not one temporary file")
theirs=.levelset-0123456789abcdef.tmp
touch "$levels/$theirs" && chown nobody "$levels/$theirs" || problems+=("cannot give $theirs to another user")
run_installer "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers yes,ok
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels 'Ocean Set.qlm' "$theirs"
rm -rf "$drive/Temp/Big" && sync
finish

# Names in any script, handed over in UTF-16 as the shell does: Cyrillic on a
# Western system, and a non-Latin name with a character outside the Basic
# Multilingual Plane that is cleaned.
scenario names-in-any-script
cp "$deep" "$drive/Temp/Уровни.qlm"
cp "$ocean" "$drive/Temp/Море%20Set 🐙[2].qlm"
run_installer "$(question 'Уровни' Yes; done_box 'Уровни'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Уровни.qlm"' --answers yes,ok
run_installer "$(question 'Море Set 🐙' Yes; done_box 'Море Set 🐙'; echo 'exit 1')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Море%20Set 🐙[2].qlm"' --answers yes,ok
expect_same "$deep" "$levels/Уровни.qlm"
expect_same "$ocean" "$levels/Море Set 🐙.qlm"
expect_files_in_levels 'Уровни.qlm' 'Море Set 🐙.qlm'
finish

# A text over 2047 bytes is cut after a whole UTF-8 character: byte 2047 of
# the text for this long path would be the first half of an "е". (Only a
# path that finds no file can make a text that long: Windows finds none
# over 259 characters. The blanks let the box wrap the text on the screen.)
scenario long-non-latin-path-cut-at-whole-character
long="C:\\abc\\$(printf 'Море %.0s' $(seq 300)).qlm"
run_installer "$(not_found "$long"; echo 'exit 0')" \
  "\"C:\\Games\\Quillomar\\levelset-installer.exe\" \"$long\"" --answers ok
expect_absent "$levels"
finish

# What Windows reads from the program file: its version (the project's, in
# four parts), the licence's copyright line, its manifest, and its icon,
# the one drawn for level sets (wrestool pads what it takes out).
repository="$(dirname "$0")/../.."
icon="$repository/packaging/icon/quillomar-levelset.ico"
copyright=$(grep -m1 '^Copyright ' "$repository/LICENSE")
expect_icon() {  # expect_icon PROGRAM
  wrestool -x -t14 "$1" | cmp -n "$(stat -c %s "$icon")" - "$icon" >/dev/null 2>&1 ||
    problems+=("$1 does not carry the level-set icon (wrestool -x -t14: $(wrestool -l "$1" 2>&1 | grep -c group_icon) icon groups)")
}
scenario program-resources
version=$(sed -n 's/^project(.* VERSION \([0-9.]*\).*/\1.0/p' "$repository/CMakeLists.txt")
timeout 60 "$WINE" "$driver" resources 'C:\Games\Quillomar\levelset-installer.exe' >"$work/$current.report" 2>"$work/$current.stderr" ||
  problems+=("the driver could not read the resources")
diff -u <(printf '%s\n' "version $version $version \"Quillomar level-set installer\" \"Quillomar level-set installer\" \"$copyright\"" \
            'manifest "asInvoker" "PerMonitorV2" "true" "6.0.0.0"') "$work/$current.report" >"$work/$current.diff" ||
  problems+=("resources differ from what was expected:" "$(cat "$work/$current.diff")")
grep -aq "name=\"Quillomar.LevelSetInstaller\" version=\"$version\"" "$installer" ||
  problems+=("the manifest does not name the version $version")
expect_icon "$installer"
finish

# --- The setup ----------------------------------------------------------------------
# The setup puts the program beside the game and opens .qlm files with it; a
# double-click goes through the file type to the installer; the uninstaller
# takes the program and the file type away and keeps the level sets. It
# installs nothing into a folder that is missing or that others may change,
# keeps another program's .qlm, fails while the program is open and moves an
# installation to another folder.

if [ -n "$setup" ]; then
  version=$(basename "$setup")
  version=${version#quillomar-levelset-installer-}
  version=${version%-setup.exe}
  uninstaller="$game/levelset-installer-uninstall.exe"
  licence="$game/levelset-installer-LICENSE.txt"
  moved="$drive/Program Files/Quillomar"
  classes='HKLM\Software\Classes'
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillomarLevelSetInstaller'
  reg_query() { "$WINE" reg query "$1" /s 2>&1 | tr -d '\r' | sed '/^$/d'; }
  reg_default() { reg_query "$1" | sed -n 's/^    (Default)    REG_SZ    //p' | head -n 1; }
  hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
  expect_signed() {  # expect_signed FILE: an intact signature by the test's certificate
    osslsigncode verify -CAfile "$signed_by" -in "$1" >"$work/$current.verify" 2>&1 ||
      problems+=("$1 carries no intact signature by $signed_by:" "$(tail -n 4 "$work/$current.verify")")
  }
  expect_built_program() {  # expect_built_program FILE: the program as built (and signed)
    if [ -n "$signed_by" ]; then
      expect_signed "$1"
      rm -f "$work/unsigned.exe"  # osslsigncode overwrites no file
      osslsigncode remove-signature -in "$1" -out "$work/unsigned.exe" >/dev/null 2>&1
      expect_same "$installer" "$work/unsigned.exe"
    else
      expect_same "$installer" "$1"
    fi
  }
  # traced COMMAND...: runs a Wine command with its file calls and the
  # requests of a Wine server started afresh traced into $current.trace
  # (Wine keeps no access lists: this is what the setup asks of Windows).
  traced() {
    "$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1
    WINEDEBUG=trace+server,trace+file "$@" 2>"$work/$current.trace"
  }
  untraced() { "$WINESERVER" -w >/dev/null 2>&1; "$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1; }
  # The security the traced run set, one line each; "handle=Levels" when
  # set through a handle that CreateFileW opened on LEVELS (as the trace
  # writes it) without following a link (0x2200000: backup semantics and
  # FILE_FLAG_OPEN_REPARSE_POINT).
  security_set_on() {
    LEVELS=$1 awk '
      index($0, ":trace:file:CreateFileW L\"" ENVIRON["LEVELS"] "\" ") {
        split($1, t, ":"); itself[t[1]] = / attributes 0x2200000$/; next }
      /:trace:file:CreateFileW returning / {
        split($1, t, ":")
        if (t[1] in itself) {
          if (itself[t[1]]) levels[t[1] ":" tolower(substr($NF, length($NF) - 3))] = 1
          delete itself[t[1]]
        }
        next }
      / set_security_object\( handle=/ {
        split($1, t, ":"); match($0, /handle=[0-9a-f]+/); handle = substr($0, RSTART + 7, RLENGTH - 7)
        line = $0; sub(/^[0-9a-f]+: /, "", line)
        sub(/handle=[0-9a-f]+/, "handle=" ((t[1] ":" handle) in levels ? "Levels" : handle), line); print line }
    ' "$work/$current.trace"
  }
  # What Levels is given: owned by Administrators (S-1-5-32-544), protected
  # from inheritance; SYSTEM and Administrators full control; Users
  # (S-1-5-32-545) list, read and add files (this folder only) and read the
  # files; CREATOR OWNER (S-1-3-0) modify on the files (inherit only).
  levels_security() {  # levels_security [released]: without the players' entries
    local users='{type=ACCESS_ALLOWED,flags=0,mask=1200ab,sid=S-1-5-32-545}'
    local creator=',{type=ACCESS_ALLOWED,flags=9,mask=1301bf,sid=S-1-3-0}'
    [ "${1:-}" = released ] && users='{type=ACCESS_ALLOWED,flags=0,mask=1200a9,sid=S-1-5-32-545}' creator=''
    printf '%s\n' "set_security_object( handle=Levels, security_info=80000005, sd={control=00001004,owner=S-1-5-32-544,group=<not present>,sacl={},dacl={{type=ACCESS_ALLOWED,flags=3,mask=1f01ff,sid=S-1-5-18},{type=ACCESS_ALLOWED,flags=3,mask=1f01ff,sid=S-1-5-32-544},$users,{type=ACCESS_ALLOWED,flags=9,mask=120089,sid=S-1-5-32-545}$creator}} )"
  }

  # The pages a player sees: the licence, then, on Next, the game's folder,
  # Program Files by default. Cancel ends the setup there, with nothing done.
  # The driver waits for a box to close and the setup's window stays, so the
  # one that pressed Next is stopped and another reads the folder's page.
  scenario setup-directory-page
  "$WINE" "$setup" >/dev/null 2>&1 &
  opened=$!
  rm -f "$work/$current.pause".*
  timeout 120 "$WINE" "$driver" run --timeout-ms 60000 --attach "$(basename "$setup")" --answers ok \
    --pause-at 1 --pause-file "Z:${work//\//\\}\\$current.pause" >"$work/$current.licence" 2>&1 &
  agreed=$!
  take_picture windows-setup-licence "$work/$current.pause"
  for _ in $(seq 100); do grep -q -- '-> OK$' "$work/$current.licence" && break; sleep 0.1; done
  sleep 1
  kill "$agreed" 2>/dev/null
  wait "$agreed"
  grep -q -- '-> OK$' "$work/$current.licence" ||
    problems+=("Next was not pressed on the licence page:" "$(cat "$work/$current.licence")")
  picture=setup-directory@1
  drive "*" --attach "$(basename "$setup")" --answers cancel
  for _ in $(seq 100); do kill -0 "$opened" 2>/dev/null || break; sleep 0.1; done
  kill "$opened" 2>/dev/null && problems+=("the setup did not end on Cancel")
  wait "$opened"
  "$WINE" reg query 'HKLM\Software\Classes\.qlm' >/dev/null 2>&1 && problems+=("the cancelled setup registered .qlm")
  finish

  # Silent, the setup ends with 2 and writes nothing where the game is not,
  # where others may change the folder or one above it (Wine reads an access
  # list from the Unix mode: 0777 is Everyone 0x1301ff, write and delete; 0755
  # read only) and where Levels is a link (Wine 8 follows a Unix symbolic
  # link even when asked not to; its handle then reaches another folder).
  scenario setup-installs-nothing-where-it-must-not
  refused() {  # refused WHAT
    local before status
    before=$(ls -A "$game" 2>&1)
    timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
    status=$?
    [ $status -eq 2 ] || problems+=("$1: the setup ended with status $status, not 2")
    [ "$(ls -A "$game" 2>&1)" = "$before" ] || problems+=("$1: the setup wrote into the game's folder")
    for key in "$classes\\.qlm" "$uninstall_key"; do
      "$WINE" reg query "$key" >/dev/null 2>&1 && problems+=("$1: $key was written")
    done
  }
  rm -rf "$game"
  refused "a game folder that does not exist"
  mkdir -p "$game" && chmod 0777 "$game"
  refused "a game folder that everyone may change"
  chmod 0755 "$game" && chmod 0777 "$drive/Games"
  refused "a folder above it that everyone may change"
  chmod 0755 "$drive/Games"
  mkdir -p "$drive/Elsewhere" && rm -rf "$levels" && ln -s ../../Elsewhere "$levels"
  [ -L "$levels" ] || problems+=("cannot plant the link $levels")
  refused "a Levels that is a link"
  [ -z "$(ls -A "$drive/Elsewhere")" ] && [ "$(stat -c %a "$drive/Elsewhere")" = 755 ] ||
    problems+=("the setup changed the folder that the Levels link leads to")
  rm -f "$levels" && rmdir "$drive/Elsewhere"
  finish

  # Another program opens .qlm already; the setup takes .qlm, remembers that
  # program and keeps it under "Open with".
  scenario setup-silent-install
  rm -rf "$game"
  mkdir -p "$game"
  echo "the game" >"$game/Quillomar.exe"
  "$WINE" reg add "$classes\\.qlm" /ve /d Quillomar.Editor /f >/dev/null 2>&1 &&
    "$WINE" reg add "$classes\\Quillomar.Editor\\shell\\open\\command" /ve /d 'C:\Editor\editor.exe %1' /f >/dev/null 2>&1 ||
    problems+=("cannot register the other program's .qlm")
  editor=$(reg_query "$classes\\Quillomar.Editor")
  traced timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar'
  status=$?
  untraced
  [ $status -eq 0 ] || problems+=("the setup ended with status $status")
  [ -z "$signed_by" ] || expect_signed "$setup"
  expect_built_program "$game/levelset-installer.exe"
  [ -z "$signed_by" ] || expect_signed "$uninstaller"
  [ -f "$uninstaller" ] || problems+=("no uninstaller in the game's directory")
  expect_same "$build/packaging/LICENSE.txt" "$licence"
  [ -d "$levels" ] || problems+=("no Levels directory")
  expect_files_in_levels
  diff -u <(levels_security) <(security_set_on 'C:\\Games\\Quillomar\\Levels') >"$work/$current.diff" ||
    problems+=("the security set for Levels differs:" "$(cat "$work/$current.diff")")
  diff -u <(printf '%s\n' \
    'HKEY_LOCAL_MACHINE\Software\Classes\.qlm' \
    '    (Default)    REG_SZ    Quillomar.LevelSet' \
    'HKEY_LOCAL_MACHINE\Software\Classes\.qlm\OpenWithProgids' \
    '    Quillomar.Editor    REG_SZ    ' \
    '    Quillomar.LevelSet    REG_SZ    ' \
    'HKEY_LOCAL_MACHINE\Software\Classes\Quillomar.LevelSet' \
    '    (Default)    REG_SZ    Quillomar Level Set' \
    '    FriendlyTypeName    REG_SZ    Quillomar Level Set' \
    '    PreviousDefault    REG_SZ    Quillomar.Editor' \
    'HKEY_LOCAL_MACHINE\Software\Classes\Quillomar.LevelSet\DefaultIcon' \
    '    (Default)    REG_SZ    C:\Games\Quillomar\levelset-installer.exe,0' \
    'HKEY_LOCAL_MACHINE\Software\Classes\Quillomar.LevelSet\shell' \
    'HKEY_LOCAL_MACHINE\Software\Classes\Quillomar.LevelSet\shell\open' \
    'HKEY_LOCAL_MACHINE\Software\Classes\Quillomar.LevelSet\shell\open\command' \
    '    (Default)    REG_SZ    "C:\Games\Quillomar\levelset-installer.exe" "%1"' \
    'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillomarLevelSetInstaller' \
    '    DisplayIcon    REG_SZ    C:\Games\Quillomar\levelset-installer.exe,0' \
    '    DisplayName    REG_SZ    Quillomar Level-Set Installer' \
    "    DisplayVersion    REG_SZ    $version" \
    "$(printf '    EstimatedSize    REG_DWORD    0x%x' $(( ($(cat "$game/levelset-installer.exe" "$uninstaller" "$licence" 2>/dev/null | wc -c) + 1023) / 1024 )))" \
    '    InstallLocation    REG_SZ    C:\Games\Quillomar' \
    '    NoModify    REG_DWORD    0x1' \
    '    NoRepair    REG_DWORD    0x1' \
    '    Publisher    REG_SZ    Morvalic' \
    '    QuietUninstallString    REG_SZ    "C:\Games\Quillomar\levelset-installer-uninstall.exe" /S' \
    '    UninstallString    REG_SZ    "C:\Games\Quillomar\levelset-installer-uninstall.exe"'
    printf '%s\n' "$editor") \
    <(reg_query "$classes\\.qlm"; reg_query "$classes\\Quillomar.LevelSet"; reg_query "$uninstall_key"
      reg_query "$classes\\Quillomar.Editor") \
    >"$work/$current.diff" || problems+=("the registry differs:" "$(cat "$work/$current.diff")")
  # Wine's own Programs and Features.
  "$WINE" uninstaller --list 2>/dev/null | tr -d '\r' |
    grep -qxF 'QuillomarLevelSetInstaller|||Quillomar Level-Set Installer' ||
    problems+=("the uninstaller is not listed in Programs and Features")
  cp "$setup" "$drive/Temp/setup.exe"
  diff -u <(printf '%s\n' "version $version.0 $version.0 \"Quillomar Level-Set Installer\" \"Quillomar Level-Set Installer Setup\" \"$copyright\"" \
              'manifest "requireAdministrator" "-" "true" "6.0.0.0"') \
    <(timeout 60 "$WINE" "$driver" resources 'C:\Temp\setup.exe' 2>&1) >"$work/$current.diff" ||
    problems+=("the setup's resources differ:" "$(cat "$work/$current.diff")")
  expect_icon "$setup"
  finish

  # What Explorer does on a double-click: ShellExecute with the verb "open".
  scenario double-click-through-the-file-type --same-machine
  timeout 120 "$WINE" start /wait /unix "$drive/Temp/Ocean%20Set[2].qlm" >"$work/$current.start" 2>&1 &
  opener=$!
  drive "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
    --attach levelset-installer.exe --answers yes,ok
  wait "$opener"
  status=$?
  [ $status -eq 1 ] || problems+=("start /wait ended with status $status, not the installer's 1: $(cat "$work/$current.start")")
  expect_same "$ocean" "$levels/Ocean Set.qlm"
  expect_files_in_levels 'Ocean Set.qlm'
  finish

  # An upgrade while an older program asks its question: the program cannot
  # be replaced, so the silent setup ends with 3 and leaves the older one and
  # the registry as they were; once the question is answered it goes through.
  scenario setup-upgrade-while-the-program-is-open --same-machine
  { cat "$installer"; printf 'an older build'; } >"$work/older.exe"
  cp "$work/older.exe" "$game/levelset-installer.exe"
  registered() { reg_query "$classes\\.qlm"; reg_query "$classes\\Quillomar.LevelSet"; reg_query "$uninstall_key"; }
  before=$(registered)
  pause="$work/$current.pause"
  rm -f "$pause.shown" "$pause.go"
  timeout 120 "$WINE" "$driver" run --timeout-ms 60000 --app "$app" --answers no \
    --cmdline-hex "$(hex '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"')" \
    --pause-at 1 --pause-file "Z:${pause//\//\\}" >"$work/$current.report" 2>"$work/$current.stderr" &
  runner=$!
  for _ in $(seq 300); do [ -e "$pause.shown" ] && break; sleep 0.1; done
  timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
  status=$?
  [ $status -eq 3 ] || problems+=("with the program open the setup ended with status $status, not 3")
  expect_same "$work/older.exe" "$game/levelset-installer.exe"
  expect_absent "$game/levelset-installer.exe.new"
  [ "$(registered)" = "$before" ] || problems+=("the registry changed")
  touch "$pause.go"
  wait "$runner"
  [ "$(tail -n 1 "$work/$current.report")" = "exit 0" ] ||
    problems+=("the program's question was not answered:" "$(cat "$work/$current.report")")
  timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
  status=$?
  [ $status -eq 0 ] || problems+=("with the program closed the setup ended with status $status")
  expect_built_program "$game/levelset-installer.exe"
  finish

  # Installed again into another folder (with a blank in its name, so the
  # driver gives the exact command line), the installation moves: the old
  # folder keeps the game and the level sets, nothing of ours. An uninstaller
  # that an earlier setup left there removes its own files and no key of the
  # new folder.
  scenario setup-moves-to-another-folder --same-machine
  mkdir -p "$moved" && echo "the game, moved" >"$moved/Quillomar.exe"
  drive 'exit 0' --app 'C:\Temp\setup.exe' --cmdline-hex "$(hex 'setup.exe /S /D=C:\Program Files\Quillomar')" --answers ''
  for file in levelset-installer.exe levelset-installer-uninstall.exe levelset-installer-LICENSE.txt; do
    expect_absent "$game/$file"
    [ -f "$moved/$file" ] || problems+=("no $file in the new folder")
  done
  [ -f "$game/Quillomar.exe" ] || problems+=("the game's own program is gone from the old folder")
  expect_same "$ocean" "$levels/Ocean Set.qlm"
  expect_files_in_levels 'Ocean Set.qlm'
  cp "$moved/levelset-installer-uninstall.exe" "$moved/levelset-installer.exe" "$game/"
  timeout 120 "$WINE" 'C:\Games\Quillomar\levelset-installer-uninstall.exe' /S '_?=C:\Games\Quillomar'
  expect_absent "$game/levelset-installer.exe"
  [ "$(reg_default "$classes\\Quillomar.LevelSet\\shell\\open\\command")" = '"C:\Program Files\Quillomar\levelset-installer.exe" "%1"' ] ||
    problems+=("the file type does not open level sets from the new folder")
  reg_query "$uninstall_key" | grep -qxF '    InstallLocation    REG_SZ    C:\Program Files\Quillomar' ||
    problems+=("Programs and Features does not name the new folder")
  rm -f "$game/levelset-installer-uninstall.exe"
  finish

  # The uninstaller gives .qlm back to the program that had it and takes the
  # players' entries out of Levels.
  scenario setup-silent-uninstall --same-machine
  traced "$WINE" 'C:\Program Files\Quillomar\levelset-installer-uninstall.exe' /S
  status=$?
  [ $status -eq 0 ] || problems+=("the uninstaller ended with status $status")
  # It returns at once and leaves the work to a copy of itself, which
  # removes the uninstaller last.
  for _ in $(seq 600); do [ -e "$moved/levelset-installer-uninstall.exe" ] || break; sleep 0.1; done
  untraced
  for file in levelset-installer-uninstall.exe levelset-installer.exe levelset-installer-LICENSE.txt Levels; do
    expect_absent "$moved/$file"
  done
  [ -f "$moved/Quillomar.exe" ] || problems+=("the game's own program is gone")
  expect_same "$ocean" "$levels/Ocean Set.qlm"
  diff -u <(levels_security released) <(security_set_on 'C:\\Program Files\\Quillomar\\Levels') >"$work/$current.diff" ||
    problems+=("the security set for Levels differs:" "$(cat "$work/$current.diff")")
  diff -u <(printf '%s\n' \
    'HKEY_LOCAL_MACHINE\Software\Classes\.qlm' \
    '    (Default)    REG_SZ    Quillomar.Editor' \
    'HKEY_LOCAL_MACHINE\Software\Classes\.qlm\OpenWithProgids' \
    '    Quillomar.Editor    REG_SZ    '
    printf '%s\n' "$editor") \
    <(reg_query "$classes\\.qlm"; reg_query "$classes\\Quillomar.Editor") \
    >"$work/$current.diff" || problems+=("the registry differs:" "$(cat "$work/$current.diff")")
  for key in "$classes\\Quillomar.LevelSet" "$uninstall_key"; do
    "$WINE" reg query "$key" >/dev/null 2>&1 && problems+=("$key is still there")
  done
  finish
fi

# --- The question box on the screen ------------------------------------------------

scenario screenshot-of-the-question
picture=question@1
run_installer "$(question 'Ocean Set' No; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Ocean%20Set[2].qlm"' --answers no
finish

# --- Windows before 1903, and the Japanese code page ----------------------------------
# The program asks for UTF-8 in its manifest. Windows before 1903 ignores
# that entry: a copy of the program whose entry is a comment of the same
# length stands for it, and runs in the system's ANSI code page.
# Under ja_JP Wine runs with the ANSI code page 932. The program itself gets
# UTF-8, so "Café[2].qlm" ("é" is not in 932) installs as Café.qlm. The copy
# runs in code page 932, where "ソ" is 0x83 0x5C, its second byte a
# backslash: ソ[2].qlm is asked about as ソ and installed as ソ.qlm.

before_1903="$work/levelset-installer-before-1903.exe"
perl -0777 -pe 's{<activeCodePage.*?</activeCodePage>}{"<!--" . (" " x (length($&) - 7)) . "-->"}se' \
  "$installer" >"$before_1903"

# Windows before 1903 on a Western system (code page 1252) would read the
# fullwidth "／" of another user's file name as "/", and this name as one
# that climbs out of C:\Shared into the victim's Documents. The program
# reads its command line in UTF-16 and changes no character into another:
# the name, with "?" where "／" has no exact form, is not found.
scenario fullwidth-slashes-before-1903
cmp -s "$installer" "$before_1903" && problems+=("the program's manifest asks for no UTF-8")
cp "$before_1903" "$game/levelset-installer.exe"
mkdir -p "$drive/Shared" "$drive/users/victim/Documents" && cp "$ocean" "$drive/users/victim/Documents/secret.qlm" &&
  cp "$deep" "$drive/Shared/..／..／users／victim／Documents／secret.qlm" ||
  problems+=("cannot make the victim's secret.qlm and the other user's file")
run_installer "$(not_found 'C:\Shared\..?..?users?victim?Documents?secret.qlm'; echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Shared\..／..／users／victim／Documents／secret.qlm"' --answers ok
expect_absent "$levels"
rm -rf "$drive/Shared" "$drive/users/victim"
finish

if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  "$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1

  scenario japanese-system-utf-8-program
  cp "$ocean" "$drive/Temp/Café[2].qlm"
  LANG=ja_JP.UTF-8 run_installer "$(question 'Café' Yes; done_box 'Café'; echo 'exit 1')" \
    '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Café[2].qlm"' --answers yes,ok
  expect_same "$ocean" "$levels/Café.qlm"
  expect_files_in_levels 'Café.qlm'
  finish

  scenario japanese-code-page
  cp "$before_1903" "$game/levelset-installer.exe"
  cp "$deep" "$drive/Temp/ソ[2].qlm"
  LANG=ja_JP.UTF-8 run_installer "$(question 'ソ' Yes; done_box 'ソ'; echo 'exit 1')" \
    '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\ソ[2].qlm"' --answers yes,ok
  expect_same "$deep" "$levels/ソ.qlm"
  expect_files_in_levels 'ソ.qlm'
  finish

  # A text over 2047 bytes is cut at a whole character: the path of 1100
  # "ソ" gives 1013 of them, not a lone lead byte at the end.
  scenario japanese-long-text-cut-at-whole-character
  cp "$before_1903" "$game/levelset-installer.exe"
  long="C:\\$(printf 'ソ%.0s' $(seq 1100)).qlm"
  LANG=ja_JP.UTF-8 run_installer "$(code_page 932; not_found "$long"; echo 'exit 0')" \
    "\"C:\\Games\\Quillomar\\levelset-installer.exe\" \"$long\"" --answers ok
  expect_absent "$levels"
  finish
  "$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1
else
  record japanese-code-page 1 "no ja_JP.UTF-8 locale: localedef -i ja_JP -f UTF-8 ja_JP.UTF-8"
fi

echo "e2e: $((ledger_passed + ledger_failed)) scenarios in $(( $(date +%s) - started )) s; pictures in $pictures"
ledger_end e2e
