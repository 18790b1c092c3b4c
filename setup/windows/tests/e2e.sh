#!/usr/bin/env bash
# End-to-end scenarios of the Windows setup, as an administrator and the
# players meet it, in a Wine prefix driven as tests/win32/scenarios.sh says:
# the setup puts the program beside the game and opens .qlm files with it;
# a double-click goes through the file type to the installer; the
# uninstaller takes the program and the file type away and keeps the level
# sets. It installs nothing into a folder that is missing or that others may
# change, keeps another program's .qlm, fails while the program is open and
# moves an installation to another folder. Its two first pages are pictured.
#
#   setup/windows/tests/e2e.sh --build build/windows --work build/wine-setup-e2e
#                              --setup SETUP.exe [--signed-by CERT.pem]
#                              [--prefix DIR] [--pictures DIR]
#
# --signed-by: the setup, the program in it and its uninstaller must carry
# intact signatures by that certificate. --prefix and --pictures as for
# tests/win32/e2e.sh. Exits non-zero when any scenario fails.
set -uo pipefail

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
    *) echo "setup e2e: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$build" ] && [ -n "$work" ] && [ -f "$setup" ] ||
  { echo "usage: $0 --build DIR --work DIR --setup EXE [--signed-by PEM] [--prefix DIR] [--pictures DIR]" >&2; exit 2; }
source "$(dirname "$0")/../../../tests/win32/scenarios.sh"
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
echo "setup e2e: $((ledger_passed + ledger_failed)) scenarios in $(( $(date +%s) - started )) s; pictures in $pictures"
ledger_end setup-e2e
