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

setup=""
signed_by=""
extra_options=(--setup --signed-by)
source "$(dirname "$0")/../../../tests/win32/scenarios.sh"
source "$build/setup_facts.sh" || exit 2
[ -f "$setup" ] ||
  { echo "usage: $0 --build DIR --work DIR --setup EXE [--signed-by PEM] [--prefix DIR] [--pictures DIR]" >&2; exit 2; }
setup=$(realpath "$setup")
[ -z "$signed_by" ] || signed_by=$(realpath "$signed_by")
version=$(basename "$setup")
version=${version#quillomar-levelset-installer-}
version=${version%-setup.exe}
uninstaller="$game/$SETUP_UNINSTALLER"
licence="$game/$SETUP_LICENSE_FILE"
moved="$drive/Program Files/Quillomar"
classes='HKLM\Software\Classes'
uninstall_key="HKLM\\$SETUP_UNINSTALL_KEY"
user_classes='HKCU\Software\Classes'
user_uninstall_key=${uninstall_key/HKLM/HKCU}
reg_query() { "$WINE" reg query "$1" /s 2>&1 | tr -d '\r' | sed '/^$/d'; }
reg_value() { reg_query "$1" | sed -n "s/^    $2    REG_SZ    //p" | head -n 1; }
# run_registered KEY VALUE EXPECTED: runs the command line that the
# registry holds there, exactly, and compares the driver's report.
# The file type and the entry in Programs and Features, machine-wide.
machine_keys() { reg_query "$classes\\.qlm"; reg_query "$classes\\$SETUP_PROGID"; reg_query "$uninstall_key"; }
# registered KEY VALUE: the driver's options that run it.
registered() {
  local command program
  command=$(reg_value "$1" "$2")
  program=${command#\"}
  program=${program%%\"*}
  [ -n "$program" ] || problems+=("no $2 in $1")
  printf '%s\n' --app "$program" --cmdline-hex "$(hex "$command")"
}
run_registered() {
  local options
  mapfile -t options < <(registered "$1" "$2")
  drive "$3" "${options[@]}" --answers ''
}
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
# The security the traced run set, one line each; "handle=NAME" when set
# through a handle that CreateFileW opened on FOLDER\NAME (as the trace
# writes it) without following a link (0x2200000: backup semantics and
# FILE_FLAG_OPEN_REPARSE_POINT).
security_set_in() {  # security_set_in FOLDER
  FOLDER=$1 awk '
    index($0, ":trace:file:CreateFileW L\"" ENVIRON["FOLDER"] "\\\\") {
      rest = substr($0, index($0, ENVIRON["FOLDER"]) + length(ENVIRON["FOLDER"]) + 2)
      name = substr(rest, 1, index(rest, "\"") - 1)
      if (name !~ /\\/) { split($1, t, ":"); opened[t[1]] = / attributes 0x2200000$/ ? name : "" }
      next }
    /:trace:file:CreateFileW returning / {
      split($1, t, ":")
      if (t[1] in opened) {
        if (opened[t[1]] != "") names[t[1] ":" tolower(substr($NF, length($NF) - 3))] = opened[t[1]]
        delete opened[t[1]]
      }
      next }
    / set_security_object\( handle=/ {
      split($1, t, ":"); match($0, /handle=[0-9a-f]+/); handle = substr($0, RSTART + 7, RLENGTH - 7)
      line = $0; sub(/^[0-9a-f]+: /, "", line)
      sub(/handle=[0-9a-f]+/, "handle=" ((t[1] ":" handle) in names ? names[t[1] ":" handle] : handle), line)
      print line }
  ' "$work/$current.trace"
}
# What Levels is given: owned by Administrators (S-1-5-32-544), protected
# from inheritance; SYSTEM and Administrators full control; Users
# (S-1-5-32-545) list, read and add files (this folder only) and read the
# files; CREATOR OWNER (S-1-3-0) modify on the files (inherit only).
# Released, first of all, without the players' entries.
levels_security() {  # levels_security [released]
  local users='{type=ACCESS_ALLOWED,flags=0,mask=1200ab,sid=S-1-5-32-545}'
  local creator=',{type=ACCESS_ALLOWED,flags=9,mask=1301bf,sid=S-1-3-0}'
  [ "${1:-}" = released ] && users='{type=ACCESS_ALLOWED,flags=0,mask=1200a9,sid=S-1-5-32-545}' creator=''
  printf '%s\n' "set_security_object( handle=Levels, security_info=80000005, sd={control=00001004,owner=S-1-5-32-544,group=<not present>,sacl={},dacl={{type=ACCESS_ALLOWED,flags=3,mask=1f01ff,sid=S-1-5-18},{type=ACCESS_ALLOWED,flags=3,mask=1f01ff,sid=S-1-5-32-544},$users,{type=ACCESS_ALLOWED,flags=9,mask=120089,sid=S-1-5-32-545}$creator}} )"
}
# What each installed file is given before it takes its place: owned by
# Administrators, protected; SYSTEM and Administrators full control, Users
# read and run it.
file_security() {  # file_security NAME...
  local name
  for name in "$@"; do
    printf '%s\n' "set_security_object( handle=$name$SETUP_NEW_SUFFIX, security_info=80000005, sd={control=00001004,owner=S-1-5-32-544,group=<not present>,sacl={},dacl={{type=ACCESS_ALLOWED,flags=0,mask=1f01ff,sid=S-1-5-18},{type=ACCESS_ALLOWED,flags=0,mask=1f01ff,sid=S-1-5-32-544},{type=ACCESS_ALLOWED,flags=0,mask=1200a9,sid=S-1-5-32-545}}} )"
  done
}

# as_administrator PROGRAM PARAMETERS: runs PROGRAM as the setup and the
# uninstaller run themselves as an administrator, through the helper's
# run-elevated (Wine starts it without asking): $status is the status that
# it hands back, $handed_back the reason.
as_administrator() {
  cp "$build/levelset-setup-helper.exe" "$drive/helper.exe"
  rm -f "$work/$current.handed-back"
  timeout 120 "$WINE" 'C:\helper.exe' run-elevated "$1" "$2" "Z:${work//\//\\}\\$current.handed-back" 0 >/dev/null 2>&1
  status=$?
  handed_back=$(iconv -f UTF-16LE -t UTF-8 "$work/$current.handed-back" 2>&1 | tr -d '\r')
}
# hold_keeper: a player opens the keeper of Levels and holds it a while,
# sharing only reading (cmd's input); $holder is that run.
hold_keeper() {
  timeout 60 "$WINE" cmd /c "ping -n 8 127.0.0.1 >nul <C:\\Games\\Quillomar\\$SETUP_LEVELS\\$SETUP_LEVELS_KEEPER" >/dev/null 2>&1 &
  holder=$!
  sleep 3
}

# The pages a player sees: the welcome, the licence, whom it is for (all
# users), then the game's folder, Program Files by default, whose Browse
# asks for Quillomar's folder (just for me, none: Back from there). Cancel asks before it ends the setup there, with
# nothing done. Each press is a driver of its own that leaves once the page
# it pressed on has changed, so the next one reads the next page.
scenario setup-pages
"$WINE" "$setup" >/dev/null 2>&1 &
opened=$!
# press ANSWER [NAME]: answers the setup's page or box shown, with a button
# or keys (see the driver), and pictures it first when NAME is windows-*;
# the report, with what the page shows, is $current.NAME, or
# $current.ANSWER with its blanks and colons as dashes.
press() {
  local name=${1//[ :]/-} picture=""
  local log="$work/$current.${2:-$name}" options=()
  [[ ${2:-} == windows-* ]] && picture=$2
  rm -f "$work/$current.pause".*
  [ -z "$picture" ] || options=(--pause-at 1 --pause-file "Z:${work//\//\\}\\$current.pause")
  timeout 120 "$WINE" "$driver" run --timeout-ms 60000 --attach "$(basename "$setup")" --answers "$1" \
    --leave --show "${options[@]}" >"$log" 2>&1 &
  local pressing=$!
  [ -z "$picture" ] || take_picture "$picture" "$work/$current.pause"
  wait "$pressing"
  grep -q -- '-> ' "$log" || problems+=("$1 was not pressed${2:+ on the page pictured as $2}:" "$(cat "$log")")
}
# shows FILE TEXT...: the driver's report FILE holds each TEXT, as the
# driver escapes it (a line break in a text is \x0D\n).
shows() {
  local file=$1 text
  shift
  for text in "$@"; do
    grep -qF -- "$text" "$file" || problems+=("$(basename "$file") does not show: $text" "$(cat "$file")")
  done
}
press ok windows-setup-welcome
press ok windows-setup-licence
press ok windows-setup-mode
# Browse asks for Quillomar's folder.
press keys:alt+r
press cancel browse
shows "$work/$current.browse" '| Static Choose the folder in which Quillomar is installed:'
press abort windows-setup-directory  # the setup's Back has the id of Abort
shows "$work/$current.windows-setup-directory" 'Edit C:\\Program Files\\Quillomar'
press 'keys:alt+j enter'
press cancel just-for-me-folder
grep -q 'Edit .\|Program Files' "$work/$current.just-for-me-folder" &&
  problems+=("just for me, with no installation of this user's, a folder was proposed:" "$(cat "$work/$current.just-for-me-folder")")
press yes
grep -qF '"Quit Setup? Nothing has been installed yet." [Yes No*]' "$work/$current.yes" ||
  problems+=("Cancel did not ask before quitting:" "$(cat "$work/$current.yes")")
for _ in $(seq 100); do kill -0 "$opened" 2>/dev/null || break; sleep 0.1; done
kill "$opened" 2>/dev/null && problems+=("the setup did not end on Cancel")
wait "$opened"
"$WINE" reg query 'HKLM\Software\Classes\.qlm' >/dev/null 2>&1 && problems+=("the cancelled setup registered .qlm")
# For all users, a game folder that others may change is offered just for
# me, in words; Yes installs it so, and the finish page says what to do.
# This user's installation in C:\MyGames\Quillomar, with a level set,
# moves here, and the finish page says where that level set stays. It was
# installed silently before the game was there, as a game's own setup may
# run it: installed all the same, and the log says so.
mine="$drive/MyGames/Quillomar"
log="$work/$current.log"
mkdir -p "$mine" && rm -f "$log"
timeout 120 "$WINE" start /wait /unix "$setup" /S /CurrentUser "/LOG=Z:${log//\//\\}" '/D=C:\MyGames\Quillomar' >/dev/null 2>&1 ||
  problems+=("just for me into C:\MyGames the setup failed")
iconv -f UTF-16 -t UTF-8 "$log" 2>&1 | tr -d '\r' | head -n 1 |
  grep -qF 'Quillomar was not found in C:\MyGames\Quillomar. Setup installed the level-set installer there all the same' ||
  problems+=("the log does not say that Quillomar was not found:" "$(iconv -f UTF-16 -t UTF-8 "$log" 2>&1)")
echo "the game" >"$mine/$SETUP_GAME_PROGRAM" && cp "$ocean" "$mine/$SETUP_LEVELS/Ocean.qlm"
echo "the game" >"$game/$SETUP_GAME_PROGRAM"
chmod 0777 "$game"
"$WINE" "$setup" '/D=C:\Games\Quillomar' >/dev/null 2>&1 &
opened=$!
for page in welcome licence mode folder; do
  press ok
done
# The offer is pictured and answered; once the setup is done, the finish
# page is pictured and Finish pressed there.
press yes windows-setup-just-for-me
offer="$work/$current.windows-setup-just-for-me"
rm -f "$work/$current.pause".*
timeout 120 "$WINE" "$driver" run --timeout-ms 60000 --attach "$(basename "$setup")" --answers ok \
  --when-shown 'Setup has moved' --show --pause-at 1 --pause-file "Z:${work//\//\\}\\$current.pause" \
  >"$work/$current.finish" 2>&1 &
finisher=$!
take_picture windows-setup-finish "$work/$current.pause"
wait "$finisher"
grep -qF 'C:\\Games\\Quillomar: Everyone' "$offer" &&
  grep -qF 'Install just for you in this folder? (No: choose another folder.)' "$offer" &&
  ! grep -q 'S-1-\|0x\|/CurrentUser' "$offer" ||
  problems+=("the folder was not offered just for me in words:" "$(cat "$offer")")
shows "$offer" 'would run:\x0D\n\x0D\n    C:\\Games\\Quillomar: Everyone\x0D\n' \
  'Everyone\x0D\n\x0D\nInstall just for you instead' 'Program Files.\x0D\n\x0D\nInstall just for you in this folder?'
shows "$work/$current.finish" \
  "Setup has moved the level-set installer $version for you, in this folder:\\x0D\\nC:\\\\Games\\\\Quillomar\\x0D\\n" \
  'The level sets installed before stay in:\x0D\nC:\\MyGames\\Quillomar\\Levels\x0D\n'
expect_same "$ocean" "$mine/$SETUP_LEVELS/Ocean.qlm"
[ "$(tail -n 1 "$work/$current.finish")" = "exit 0" ] ||
  problems+=("just for me the setup did not end with 0:" "$(cat "$offer" "$work/$current.finish")")
for _ in $(seq 100); do kill -0 "$opened" 2>/dev/null || break; sleep 0.1; done
wait "$opened"
[ "$(reg_default "$user_classes\\$SETUP_PROGID\\shell\\open\\command")" = "\"C:\Games\Quillomar\\$SETUP_PROGRAM_NAME\" \"%1\"" ] ||
  problems+=("the file type is not this user's:" "$(reg_query "$user_classes\\$SETUP_PROGID")")
"$WINE" reg query 'HKLM\Software\Classes\.qlm' >/dev/null 2>&1 && problems+=("just for me the setup registered .qlm for all users")
# The user's uninstaller, as Programs and Features starts it: the confirm
# page says what this mode takes away; Cancel asks as the setup does, No
# the default; the finish page says that the files stay for the other
# players, and where; the details list plain steps.
rm -f "$work/$current.pause".*
mapfile -t options < <(registered "$user_uninstall_key" UninstallString)
timeout 120 "$WINE" "$driver" run --timeout-ms 60000 "${options[@]}" --answers cancel,no,ok,ok \
  --when-shown 'Its files stay' --show --details --pause-at 4 --pause-file "Z:${work//\//\\}\\$current.pause" \
  >"$work/$current.uninstall" 2>&1 &
finisher=$!
take_picture windows-setup-uninstall-finish "$work/$current.pause"
wait "$finisher"
uninstalled="$work/$current.uninstall"
shows "$uninstalled" 'Level sets (.qlm files) are no longer opened with the level-set installer for you.' \
  '"Quit uninstalling? Nothing has been taken away yet." [Yes No*]' \
  'Its files stay in this folder:\x0D\nC:\\Games\\Quillomar\x0D\n\x0D\nThey stay because other players of this computer may change that folder'
grep '^detail ' "$uninstalled" | grep -i 'extract\|delete file\|remove folder\|create folder\|output folder\|\.tmp\|helper' &&
  problems+=("the uninstaller's details hold more than plain steps")
[ "$(tail -n 1 "$uninstalled")" = "exit 0" ] || problems+=("the uninstaller did not end with 0")
"$WINE" reg query "$user_uninstall_key" >/dev/null 2>&1 && problems+=("the user's uninstaller entry is still there")
[ -f "$game/$SETUP_PROGRAM_NAME" ] || problems+=("the files that other players may use were taken away")
rm -rf "$drive/MyGames"
finish

# Every page by the keyboard alone, in both modes: Enter goes on, Alt with
# a letter and the arrows choose whom it is for. A folder without the game
# is asked about first, No the default. The folder page counts the
# uninstaller in the size; the finish page says what Setup did (installed,
# updated or reinstalled), with the folder on a line of its own; the
# details list plain steps only.
scenario setup-pages-by-keyboard
"$WINE" "$setup" '/D=C:\Games\Quillomar' >/dev/null 2>&1 &
opened=$!
press keys:enter
press keys:enter
press 'keys:alt+j up enter'
press keys:enter folder
press keys:enter not-found
shows "$work/$current.not-found" '"Quillomar was not found in C:\\Games\\Quillomar.\x0D\n\x0D\n' '[Yes No*] warning -> keys:enter'
echo "the game" >"$game/$SETUP_GAME_PROGRAM"
# finish_by_keys NAME TEXT: Enter on the folder page, and on the finish page
# once it shows TEXT; the report, with the details, is $current.NAME.
finish_by_keys() {
  timeout 180 "$WINE" "$driver" run --timeout-ms 120000 --attach "$(basename "$setup")" \
    --answers keys:enter,keys:enter --when-shown "$2" --show --details >"$work/$current.$1" 2>&1
  [ "$(tail -n 1 "$work/$current.$1")" = "exit 0" ] || problems+=("the setup did not end with 0:" "$(cat "$work/$current.$1")")
  grep '^detail ' "$work/$current.$1" | grep -i 'extract\|delete file\|remove folder\|create folder\|output folder\|\.tmp\|helper' &&
    problems+=("the details hold more than plain steps")
  for _ in $(seq 100); do kill -0 "$opened" 2>/dev/null || break; sleep 0.1; done
  wait "$opened"
}
finish_by_keys all-users 'Setup has installed'
shows "$work/$current.all-users" 'detail Installing for every user of this computer into C:\\Games\\Quillomar' \
  "Setup has installed the level-set installer $version for every user of this computer, in this folder:\\x0D\\nC:\\\\Games\\\\Quillomar\\x0D\\n"
size=0
for file in "${SETUP_INSTALLED_FILES[@]}"; do
  size=$(( size + ($(stat -c %s "$game/$file") + 1023) / 1024 ))
done
shows "$work/$current.folder" "Space required: $size"
[ "$(reg_default "$classes\\$SETUP_PROGID\\shell\\open\\command")" = "\"C:\Games\Quillomar\\$SETUP_PROGRAM_NAME\" \"%1\"" ] ||
  problems+=("the keys did not install for all users")
# Setup again into the same folder: over an older version registered there
# it says it has updated it, over this version that it has reinstalled it.
"$WINE" reg add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 0.9.0 /f >/dev/null 2>&1 ||
  problems+=("cannot register an older version")
for case in updated reinstalled; do
  "$WINE" "$setup" '/D=C:\Games\Quillomar' >/dev/null 2>&1 &
  opened=$!
  press keys:enter
  press keys:enter
  press 'keys:alt+f enter'
  finish_by_keys $case "Setup has $case"
done
shows "$work/$current.updated" \
  "Setup has updated the level-set installer to version $version for every user of this computer, in this folder:\\x0D\\nC:\\\\Games\\\\Quillomar\\x0D\\n"
shows "$work/$current.reinstalled" \
  "Setup has reinstalled the level-set installer $version for every user of this computer, in this folder:\\x0D\\nC:\\\\Games\\\\Quillomar\\x0D\\n"
run_registered "$uninstall_key" QuietUninstallString 'exit 0'
mine="$drive/MyGames/Quillomar"
mkdir -p "$mine" && echo "the game" >"$mine/$SETUP_GAME_PROGRAM"
"$WINE" "$setup" '/D=C:\MyGames\Quillomar' >/dev/null 2>&1 &
opened=$!
press keys:enter
press keys:enter
press 'keys:alt+f down enter'
finish_by_keys just-for-me 'Setup has installed'
shows "$work/$current.just-for-me" \
  "Setup has installed the level-set installer $version for you, in this folder:\\x0D\\nC:\\\\MyGames\\\\Quillomar\\x0D\\n"
[ "$(reg_default "$user_classes\\$SETUP_PROGID\\shell\\open\\command")" = "\"C:\MyGames\Quillomar\\$SETUP_PROGRAM_NAME\" \"%1\"" ] ||
  problems+=("the keys did not install just for me")
run_registered "$user_uninstall_key" QuietUninstallString 'exit 0'
rm -rf "$drive/MyGames"
finish

# Silent, the setup ends with 2 and writes nothing where the game is not,
# where others may change the folder or one above it (Wine reads an access
# list from the Unix mode: 0777 is Everyone 0x1301ff, write and delete; 0755
# read only), where Levels is a link (Wine 8 follows a Unix symbolic link
# even when asked not to; its handle then reaches another folder) and on a
# removable drive (Wine's drive types, read when its server starts).
scenario setup-installs-nothing-where-it-must-not
refused() {  # refused WHAT [FOLDER UNIX-FOLDER]: default C:\Games\Quillomar
  local before status folder=${2:-'C:\Games\Quillomar'} unix=${3:-$game}
  before=$(ls -A "$unix" 2>&1)
  timeout 120 "$WINE" "$setup" /S "/D=$folder" >/dev/null 2>&1
  status=$?
  [ $status -eq 2 ] || problems+=("$1: the setup ended with status $status, not 2")
  [ "$(ls -A "$unix" 2>&1)" = "$before" ] || problems+=("$1: the setup wrote into the game's folder")
  for key in "$classes\\.qlm" "$uninstall_key"; do
    "$WINE" reg query "$key" >/dev/null 2>&1 && problems+=("$1: $key was written")
  done
}
rm -rf "$game"
refused "a game folder that does not exist"
mkdir -p "$game" && chmod 0777 "$game"
refused "a game folder that everyone may change"
# Its run as an administrator hands the reason back to the run that started
# it; started as such a run with a /LOG= of a user's, it writes no file.
as_administrator "Z:${setup//\//\\}" '/S /AllUsers /D=C:\Games\Quillomar'
[ $status -eq 2 ] && grep -qxF '    C:\Games\Quillomar: Everyone' <<<"$handed_back" ||
  problems+=("the run as an administrator did not hand back 2 and its reason: $status" "$handed_back")
cp "$setup" "$drive/Temp/setup.exe"
drive 'exit 2' --app 'C:\Temp\setup.exe' --answers '' \
  --cmdline-hex "$(hex 'setup.exe /AsAdministrator /S /AllUsers /LOG=C:\profile.ps1 /D=C:\x;Start-Process calc.exe;#')"
expect_absent "$drive/profile.ps1"
# Started by hand with an administrator's rights (as a user may have an
# administrator approve), it opens the /LOG= file only with the rights of
# the program that started it; started from no program whose rights it can
# take (Wine gives a run started from Unix none), it writes no file. Its
# /ReportTo= is a pipe of the helper's naming only: a detour by ".." to a
# file is not opened.
timeout 120 "$WINE" "$drive/Temp/setup.exe" /S /AllUsers '/LOG=C:\profile.ps1' '/D=C:\Nowhere' >/dev/null 2>&1
status=$?
[ $status -eq 2 ] || problems+=("run by hand as an administrator with a /LOG= the setup ended with $status, not 2")
expect_absent "$drive/profile.ps1"
echo "held" >"$drive/Temp/held.txt"
traced timeout 120 "$WINE" "$drive/Temp/setup.exe" /AsAdministrator \
  '/ReportTo=\\.\pipe\quillomar-setup-0\..\..\C:\Temp\held.txt' /S /AllUsers '/D=C:\Nowhere'
untraced
grep ':trace:file:CreateFileW .*held\.txt' "$work/$current.trace" >"$work/$current.held" &&
  problems+=("the run as an administrator opened a /ReportTo= that leads to a file:" "$(cat "$work/$current.held")")
chmod 0755 "$game" && chmod 0777 "$drive/Games"
refused "a folder above it that everyone may change"
chmod 0755 "$drive/Games"
mkdir -p "$drive/Elsewhere" && rm -rf "$levels" && ln -s ../../Elsewhere "$levels"
[ -L "$levels" ] || problems+=("cannot plant the link $levels")
refused "a Levels that is a link"
[ -z "$(ls -A "$drive/Elsewhere")" ] && [ "$(stat -c %a "$drive/Elsewhere")" = 755 ] ||
  problems+=("the setup changed the folder that the Levels link leads to")
rm -f "$levels" && rmdir "$drive/Elsewhere"
stick="$work/stick"
mkdir -p "$stick/Quillomar" && chmod 0755 "$stick" "$stick/Quillomar" &&
  ln -sfn "$stick" "$WINEPREFIX/dosdevices/e:" &&
  "$WINE" reg add 'HKLM\Software\Wine\Drives' /v 'e:' /t REG_SZ /d floppy /f >/dev/null 2>&1 ||
  problems+=("cannot make E: a removable drive")
"$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1
refused "a folder on a removable drive" 'E:\Quillomar' "$stick/Quillomar"
"$WINE" reg delete 'HKLM\Software\Wine\Drives' /v 'e:' /f >/dev/null 2>&1
rm -f "$WINEPREFIX/dosdevices/e:" && rm -r "$stick"
"$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1
finish

# Another program opens .qlm already; the setup takes .qlm, remembers that
# program and keeps it under "Open with".
scenario setup-silent-install
rm -rf "$game"
mkdir -p "$game"
echo "the game" >"$game/$SETUP_GAME_PROGRAM"
"$WINE" reg add "$classes\\.qlm" /ve /d Quillomar.Editor /f >/dev/null 2>&1 &&
  "$WINE" reg add "$classes\\Quillomar.Editor\\shell\\open\\command" /ve /d 'C:\Editor\editor.exe %1' /f >/dev/null 2>&1 ||
  problems+=("cannot register the other program's .qlm")
editor=$(reg_query "$classes\\Quillomar.Editor")
# A /LOG= that cannot be written stops the setup before it does anything: in
# a folder that does not exist, or a file with another name too (whose other
# name keeps its bytes).
echo "another file" >"$drive/Temp/other.txt" && ln "$drive/Temp/other.txt" "$drive/Temp/twin.log" ||
  problems+=("cannot make a file with two names")
for log in 'C:\Nowhere\setup.log' 'C:\Temp\twin.log'; do
  timeout 120 "$WINE" start /wait /unix "$setup" /S "/LOG=$log" '/D=C:\Games\Quillomar' >/dev/null 2>&1
  status=$?
  [ $status -eq 2 ] || problems+=("with /LOG=$log the setup ended with status $status, not 2")
done
[ "$(ls -A "$game")" = "$SETUP_GAME_PROGRAM" ] && ! "$WINE" reg query "$uninstall_key" >/dev/null 2>&1 ||
  problems+=("a setup whose log cannot be written installed something")
[ "$(cat "$drive/Temp/other.txt")" = "another file" ] || problems+=("the log was written through another name")
expect_absent "$drive/Nowhere"
traced timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar'
status=$?
untraced
[ $status -eq 0 ] || problems+=("the setup ended with status $status")
[ -z "$signed_by" ] || expect_signed "$setup"
expect_built_program "$game/$SETUP_PROGRAM_NAME"
[ -z "$signed_by" ] || expect_signed "$uninstaller"
[ -f "$uninstaller" ] || problems+=("no uninstaller in the game's directory")
expect_same "$build/packaging/LICENSE.txt" "$licence"
[ -d "$levels" ] || problems+=("no Levels directory")
expect_files_in_levels "$SETUP_LEVELS_KEEPER"
diff -u <(levels_security released; levels_security
          file_security "${SETUP_INSTALLED_FILES[@]}") \
  <(security_set_in 'C:\\Games\\Quillomar') >"$work/$current.diff" ||
  problems+=("the security set for Levels and the installed files differs:" "$(cat "$work/$current.diff")")
diff -u <(printf '%s\n' \
  'HKEY_LOCAL_MACHINE\Software\Classes\.qlm' \
  "    (Default)    REG_SZ    $SETUP_PROGID" \
  'HKEY_LOCAL_MACHINE\Software\Classes\.qlm\OpenWithProgids' \
  '    Quillomar.Editor    REG_SZ    ' \
  "    $SETUP_PROGID    REG_SZ    " \
  "HKEY_LOCAL_MACHINE\Software\Classes\\$SETUP_PROGID" \
  '    (Default)    REG_SZ    Quillomar Level Set' \
  '    FriendlyTypeName    REG_SZ    Quillomar Level Set' \
  "    $SETUP_PREVIOUS_DEFAULT    REG_SZ    Quillomar.Editor" \
  "HKEY_LOCAL_MACHINE\Software\Classes\\$SETUP_PROGID\DefaultIcon" \
  "    (Default)    REG_SZ    C:\Games\Quillomar\\$SETUP_PROGRAM_NAME,0" \
  "HKEY_LOCAL_MACHINE\Software\Classes\\$SETUP_PROGID\shell" \
  "HKEY_LOCAL_MACHINE\Software\Classes\\$SETUP_PROGID\shell\open" \
  "HKEY_LOCAL_MACHINE\Software\Classes\\$SETUP_PROGID\shell\open\command" \
  "    (Default)    REG_SZ    \"C:\Games\Quillomar\\$SETUP_PROGRAM_NAME\" \"%1\"" \
  "HKEY_LOCAL_MACHINE\\$SETUP_UNINSTALL_KEY" \
  "    DisplayIcon    REG_SZ    C:\Games\Quillomar\\$SETUP_PROGRAM_NAME,0" \
  '    DisplayName    REG_SZ    Quillomar Level-Set Installer' \
  "    DisplayVersion    REG_SZ    $version" \
  "$(printf '    EstimatedSize    REG_DWORD    0x%x' $(( ($(stat -c %s "$game/$SETUP_PROGRAM_NAME") + 1023) / 1024 + ($(stat -c %s "$game/$SETUP_UNINSTALLER") + 1023) / 1024 + ($(stat -c %s "$licence") + 1023) / 1024 )))" \
  "    $SETUP_INSTALL_LOCATION    REG_SZ    C:\Games\Quillomar" \
  '    NoModify    REG_DWORD    0x1' \
  '    NoRepair    REG_DWORD    0x1' \
  '    Publisher    REG_SZ    Morvalic' \
  "    QuietUninstallString    REG_SZ    \"C:\Games\Quillomar\\$SETUP_UNINSTALLER\" /S /AllUsers _?=C:\Games\Quillomar" \
  "    UninstallString    REG_SZ    \"C:\Games\Quillomar\\$SETUP_UNINSTALLER\" /AllUsers _?=C:\Games\Quillomar"
  printf '%s\n' "$editor") \
  <(reg_query "$classes\\.qlm"; reg_query "$classes\\$SETUP_PROGID"; reg_query "$uninstall_key"
    reg_query "$classes\\Quillomar.Editor") \
  >"$work/$current.diff" || problems+=("the registry differs:" "$(cat "$work/$current.diff")")
# Wine's own Programs and Features.
"$WINE" uninstaller --list 2>/dev/null | tr -d '\r' |
  grep -qxF "${SETUP_UNINSTALL_KEY##*\\}|||Quillomar Level-Set Installer" ||
  problems+=("the uninstaller is not listed in Programs and Features")
cp "$setup" "$drive/Temp/setup.exe"
diff -u <(printf '%s\n' "version $version.0 $version.0 \"Quillomar Level-Set Installer\" \"Quillomar Level-Set Installer Setup\" \"$copyright\"" \
            'manifest "asInvoker" "-" "true" "6.0.0.0"') \
  <(timeout 60 "$WINE" "$driver" resources 'C:\Temp\setup.exe' 2>&1) >"$work/$current.diff" ||
  problems+=("the setup's resources differ:" "$(cat "$work/$current.diff")")
expect_icon "$setup"
finish

# What Explorer does on a double-click: ShellExecute with the verb "open".
scenario double-click-through-the-file-type --same-machine
timeout 120 "$WINE" start /wait /unix "$drive/Temp/Ocean%20Set[2].qlm" >"$work/$current.start" 2>&1 &
opener=$!
drive "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  --attach "$SETUP_PROGRAM_NAME" --answers yes,ok
wait "$opener"
status=$?
[ $status -eq 1 ] || problems+=("start /wait ended with status $status, not the installer's 1: $(cat "$work/$current.start")")
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels "$SETUP_LEVELS_KEEPER" 'Ocean Set.qlm'
finish

# Just for me, into a Steam-style library on a second drive (D:, a folder
# whose folders everyone may change), beside the installation for all
# users: for all users the setup refuses it, naming every such folder in
# words (the SIDs and masks only after the log's "--"); just for me it
# installs, with keys only under HKCU and no access list set, and this
# user's open command installs into that library's Levels. The uninstaller
# registered for this user takes only this user's keys, and leaves the
# files, which other users' own registrations may use; in a folder that no
# other user may change, it takes the files too.
scenario setup-just-for-me-in-a-library --same-machine
library="$work/library"
library_game="$library/SteamLibrary/steamapps/common/Quillomar"
folder='D:\SteamLibrary\steamapps\common\Quillomar'
rm -rf "$library" && mkdir -p "$library_game" && echo "the game" >"$library_game/$SETUP_GAME_PROGRAM" &&
  chmod 0777 "$library" "$library/SteamLibrary" "$library/SteamLibrary/steamapps" \
    "$library/SteamLibrary/steamapps/common" "$library_game" &&
  ln -sfn "$library" "$WINEPREFIX/dosdevices/d:" || problems+=("cannot make the library on D:")
before=$(machine_keys)
log="$work/$current.log"
echo "an earlier run's reason" >"$log"
timeout 120 "$WINE" start /wait /unix "$setup" /S /allusers "/LOG=Z:${log//\//\\}" "/D=$folder" >/dev/null 2>&1
status=$?
[ $status -eq 2 ] || problems+=("for all users into the library the setup ended with status $status, not 2")
[ "$(ls -A "$library_game")" = "$SETUP_GAME_PROGRAM" ] || problems+=("for all users the setup wrote into the library")
[ "$(machine_keys)" = "$before" ] || problems+=("for all users into the library the machine-wide keys changed")
words=$(iconv -f UTF-16 -t UTF-8 "$log" 2>&1 | tr -d '\r' | sed -n '1,/^--$/p')
for line in 'Others may change these folders, so they could replace the level-set installer that every user'"'"'s double-click would run:' \
  "    $folder: Everyone" '    D:\SteamLibrary: Everyone' '    D:\: Everyone'; do
  grep -qxF -- "$line" <<<"$words" || problems+=("the log does not say: $line" "$words")
done
grep -q 'S-1-\|0x' <<<"$words" && problems+=("the words for the player hold a SID or an access mask:" "$words")
grep -q "earlier run" "$log" && problems+=("the log still holds an earlier run's reason")
iconv -f UTF-16 -t UTF-8 "$log" 2>/dev/null | tr -d '\r' | grep -qx 'D:\\: S-1-1-0 holds access 0x[0-9a-f]\{8\}' ||
  problems+=("the log's details do not name the SID and access:" "$(iconv -f UTF-16 -t UTF-8 "$log" 2>&1)")
traced timeout 120 "$WINE" start /wait /unix "$setup" /S /currentUSER "/LOG=Z:${log//\//\\}" "/D=$folder"
status=$?
untraced
[ $status -eq 0 ] || problems+=("just for me the setup ended with status $status")
# It says, in the offer's words, that others could replace what this
# player's double-click runs.
words=$(iconv -f UTF-16 -t UTF-8 "$log" 2>&1 | tr -d '\r')
for line in 'Others may change these folders, so they could replace the level-set installer that your double-click runs:' \
  "    $folder: Everyone" '    D:\: Everyone'; do
  grep -qxF -- "$line" <<<"$words" || problems+=("just for me the log does not say: $line" "$words")
done
expect_built_program "$library_game/$SETUP_PROGRAM_NAME"
[ -f "$library_game/$SETUP_UNINSTALLER" ] && [ -d "$library_game/$SETUP_LEVELS" ] ||
  problems+=("no uninstaller or Levels in the library")
grep ' set_security_object( ' "$work/$current.trace" >"$work/$current.set" &&
  problems+=("just for me the setup set an access list:" "$(cat "$work/$current.set")")
[ "$(machine_keys)" = "$before" ] || problems+=("just for me the machine-wide keys changed")
[ "$(reg_default "$user_classes\\$SETUP_PROGID\\shell\\open\\command")" = "\"$folder\\$SETUP_PROGRAM_NAME\" \"%1\"" ] &&
  [ "$(reg_default "$user_classes\\.qlm")" = "$SETUP_PROGID" ] ||
  problems+=("the file type is not this user's:" "$(reg_query "$user_classes\\$SETUP_PROGID")")
[ "$(reg_value "$user_uninstall_key" QuietUninstallString)" = "\"$folder\\$SETUP_UNINSTALLER\" /S /CurrentUser _?=$folder" ] ||
  problems+=("no uninstaller entry of this user's:" "$(reg_query "$user_uninstall_key")")
# Wine's HKCR holds only the machine's classes, so the user's open command
# is run as Explorer would run it, with the level set for %1.
open_command=$(reg_default "$user_classes\\$SETUP_PROGID\\shell\\open\\command")
open_command=${open_command//"%1"/'C:\Temp\Ocean%20Set[2].qlm'}
drive "$(question 'Ocean Set' Yes; done_box 'Ocean Set'; echo 'exit 1')" \
  --app "$folder\\$SETUP_PROGRAM_NAME" --cmdline-hex "$(hex "$open_command")" --answers yes,ok
expect_same "$ocean" "$library_game/$SETUP_LEVELS/Ocean Set.qlm"
mapfile -t options < <(registered "$user_uninstall_key" QuietUninstallString)
traced timeout 120 "$WINE" "$driver" run --timeout-ms 60000 "${options[@]}" --answers '' >"$work/$current.report"
untraced
[ "$(tail -n 1 "$work/$current.report")" = "exit 0" ] ||
  problems+=("the uninstaller just for me did not end with 0:" "$(cat "$work/$current.report")")
for key in "$user_classes\\$SETUP_PROGID" "$user_uninstall_key"; do
  "$WINE" reg query "$key" >/dev/null 2>&1 && problems+=("$key is still there")
done
[ "$(machine_keys)" = "$before" ] || problems+=("the uninstaller just for me changed the machine-wide keys")
grep ' set_security_object( ' "$work/$current.trace" >"$work/$current.set" &&
  problems+=("the uninstaller just for me set an access list:" "$(cat "$work/$current.set")")
sleep 1
[ -f "$library_game/$SETUP_PROGRAM_NAME" ] && [ -f "$library_game/$SETUP_UNINSTALLER" ] ||
  problems+=("the files that other users' registrations may use were taken away")
expect_same "$ocean" "$library_game/$SETUP_LEVELS/Ocean Set.qlm"
# The player then starts the uninstaller that was left, without a switch: no
# registration names its folder, so it removes nothing, sets no access list
# and says where its files are.
log="$work/$current.left.log"
traced timeout 120 "$WINE" start /wait /unix "$library_game/$SETUP_UNINSTALLER" /S "/LOG=Z:${log//\//\\}" "_?=$folder"
status=$?
untraced
[ $status -eq 2 ] || problems+=("the uninstaller that was left ended with status $status, not 2")
grep ' set_security_object( ' "$work/$current.trace" >"$work/$current.set" &&
  problems+=("the uninstaller that was left set an access list:" "$(cat "$work/$current.set")")
[ -f "$library_game/$SETUP_PROGRAM_NAME" ] && [ -f "$library_game/$SETUP_LICENSE_FILE" ] ||
  problems+=("the uninstaller that was left took files away")
[ "$(iconv -f UTF-16 -t UTF-8 "$log" 2>&1 | tr -d '\r')" = "No installation of the level-set installer, for all users or for you, is registered in $folder, so the uninstaller removes nothing. Its files are in $folder: delete them there once nobody uses them." ] ||
  problems+=("the uninstaller that was left did not say where its files are:" "$(iconv -f UTF-16 -t UTF-8 "$log" 2>&1)")
rm -f "$WINEPREFIX/dosdevices/d:" && rm -rf "$library"
# In a folder that no other user may change, the files go with the keys.
mine="$drive/MyGames/Quillomar"
mkdir -p "$mine" && echo "the game" >"$mine/$SETUP_GAME_PROGRAM"
timeout 120 "$WINE" "$setup" /S /CurrentUser '/D=C:\MyGames\Quillomar' >/dev/null 2>&1
status=$?
[ $status -eq 0 ] || problems+=("just for me into C:\MyGames the setup ended with status $status")
# A copy of its uninstaller, run as the uninstaller's run as an
# administrator for all users, into this installation just for me (in a
# folder that passes the check for all users): it changes nothing, sets no
# access list, and hands back why.
cp "$mine/$SETUP_UNINSTALLER" "$drive/u.exe"
traced timeout 120 "$WINE" 'C:\u.exe' /AsAdministrator /S /AllUsers '_?=C:\MyGames\Quillomar'
status=$?
untraced
[ $status -eq 2 ] || problems+=("the copied uninstaller for all users ended with status $status, not 2")
grep ' set_security_object( ' "$work/$current.trace" >"$work/$current.set" &&
  problems+=("the copied uninstaller for all users set an access list:" "$(cat "$work/$current.set")")
as_administrator 'C:\u.exe' '/S /AllUsers _?=C:\MyGames\Quillomar'
[ $status -eq 2 ] &&
  grep -qxF 'The installation for all users of this computer is not registered in C:\MyGames\Quillomar, so the uninstaller changes nothing there.' <<<"$handed_back" ||
  problems+=("the uninstaller's run as an administrator did not hand back 2 and its reason: $status" "$handed_back")
[ -f "$mine/$SETUP_PROGRAM_NAME" ] && [ -f "$mine/$SETUP_LICENSE_FILE" ] &&
  [ "$(reg_value "$user_uninstall_key" InstallLocation)" = 'C:\MyGames\Quillomar' ] ||
  problems+=("the uninstaller for all users took this user's installation away")
rm -f "$drive/u.exe"
run_registered "$user_uninstall_key" QuietUninstallString 'exit 0'
for _ in $(seq 100); do [ -e "$mine/$SETUP_UNINSTALLER" ] || break; sleep 0.1; done
for file in "${SETUP_INSTALLED_FILES[@]}" "$SETUP_LEVELS"; do
  expect_absent "$mine/$file"
done
[ -f "$mine/$SETUP_GAME_PROGRAM" ] || problems+=("the game's own program is gone from C:\MyGames")
[ "$(machine_keys)" = "$before" ] || problems+=("the uninstaller just for me changed the machine-wide keys")
rm -rf "$drive/MyGames"
finish

# An upgrade while an older program asks its question: the program cannot
# be replaced, so the silent setup ends with 3 and leaves the older one and
# the registry as they were; once the question is answered it goes through.
scenario setup-upgrade-while-the-program-is-open --same-machine
{ cat "$installer"; printf 'an older build'; } >"$work/older.exe"
cp "$work/older.exe" "$game/$SETUP_PROGRAM_NAME"
before=$(machine_keys)
pause="$work/$current.pause"
rm -f "$pause.shown" "$pause.go"
timeout 120 "$WINE" "$driver" run --timeout-ms 60000 --app "$app" --answers no \
  --cmdline-hex "$(hex "\"C:\Games\Quillomar\\$SETUP_PROGRAM_NAME\" \"C:\Temp\Ocean%20Set[2].qlm\"")" \
  --pause-at 1 --pause-file "Z:${pause//\//\\}" >"$work/$current.report" 2>"$work/$current.stderr" &
runner=$!
for _ in $(seq 300); do [ -e "$pause.shown" ] && break; sleep 0.1; done
timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
status=$?
[ $status -eq 3 ] || problems+=("with the program open the setup ended with status $status, not 3")
expect_same "$work/older.exe" "$game/$SETUP_PROGRAM_NAME"
expect_absent "$game/$SETUP_PROGRAM_NAME$SETUP_NEW_SUFFIX"
[ "$(machine_keys)" = "$before" ] || problems+=("the registry changed")
# The silent uninstaller, as Programs and Features registers it, waits for
# its own end and says so: 3, with nothing taken away.
run_registered "$uninstall_key" QuietUninstallString 'exit 3'
expect_same "$work/older.exe" "$game/$SETUP_PROGRAM_NAME"
[ -f "$uninstaller" ] || problems+=("the uninstaller took itself away")
[ "$(machine_keys)" = "$before" ] || problems+=("the registry changed")
touch "$pause.go"
wait "$runner"
[ "$(tail -n 1 "$work/$current.report")" = "exit 0" ] ||
  problems+=("the program's question was not answered:" "$(cat "$work/$current.report")")
timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
status=$?
[ $status -eq 0 ] || problems+=("with the program closed the setup ended with status $status")
expect_built_program "$game/$SETUP_PROGRAM_NAME"
# A player holds the keeper of Levels open: the update keeps it, sets its
# access list through a handle, and ends with 0.
hold_keeper
timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
status=$?
wait "$holder"
[ $status -eq 0 ] || problems+=("with the keeper of Levels held open the setup ended with status $status, not 0")
expect_files_in_levels "$SETUP_LEVELS_KEEPER" 'Ocean Set.qlm'
# A keeper that cannot be made (a folder of that name): the update ends with
# 2, and Levels gets back the list it had, not the one that lets players
# only read it: the list on its own, then the owner (which Windows may
# refuse to give back).
rm "$levels/$SETUP_LEVELS_KEEPER" && mkdir "$levels/$SETUP_LEVELS_KEEPER" || problems+=("cannot make the keeper a folder")
traced timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar'
status=$?
untraced
[ $status -eq 2 ] || problems+=("with a folder for the keeper the setup ended with status $status, not 2")
security_set_in 'C:\\Games\\Quillomar' | grep ' handle=Levels, ' >"$work/$current.levels"
[ "$(head -n 1 "$work/$current.levels")" = "$(levels_security released)" ] &&
  [ "$(wc -l <"$work/$current.levels")" -eq 3 ] &&
  sed -n 2p "$work/$current.levels" | grep -q ' security_info=00000004, ' &&
  [ "$(sed -n 2p "$work/$current.levels" | sed 's/.*dacl=//')" != "$(levels_security released | sed 's/.*dacl=//')" ] ||
  problems+=("Levels did not get its list back:" "$(cat "$work/$current.levels")")
rmdir "$levels/$SETUP_LEVELS_KEEPER"
timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1 || problems+=("the setup did not make the keeper again")
expect_files_in_levels "$SETUP_LEVELS_KEEPER" 'Ocean Set.qlm'
finish

# Installed again into another folder (with a blank in its name, so the
# driver gives the exact command line), the installation moves: the old
# folder keeps the game and the level sets, nothing of ours. An uninstaller
# left there, started without a switch, removes nothing (no registration
# names that folder) and ends with 2.
scenario setup-moves-to-another-folder --same-machine
mkdir -p "$moved" && echo "the game, moved" >"$moved/$SETUP_GAME_PROGRAM"
drive 'exit 0' --app 'C:\Temp\setup.exe' --cmdline-hex "$(hex 'setup.exe /S /D=C:\Program Files\Quillomar')" --answers ''
for file in "${SETUP_INSTALLED_FILES[@]}"; do
  expect_absent "$game/$file"
  [ -f "$moved/$file" ] || problems+=("no $file in the new folder")
done
[ -f "$game/$SETUP_GAME_PROGRAM" ] || problems+=("the game's own program is gone from the old folder")
expect_same "$ocean" "$levels/Ocean Set.qlm"
expect_files_in_levels 'Ocean Set.qlm'
cp "$moved/$SETUP_UNINSTALLER" "$moved/$SETUP_PROGRAM_NAME" "$game/"
timeout 120 "$WINE" "C:\Games\Quillomar\\$SETUP_UNINSTALLER" /S '_?=C:\Games\Quillomar'
status=$?
[ $status -eq 2 ] || problems+=("the uninstaller left in the old folder ended with status $status, not 2")
[ -f "$game/$SETUP_PROGRAM_NAME" ] || problems+=("the uninstaller left in the old folder removed files")
[ "$(reg_default "$classes\\$SETUP_PROGID\\shell\\open\\command")" = "\"C:\Program Files\Quillomar\\$SETUP_PROGRAM_NAME\" \"%1\"" ] ||
  problems+=("the file type does not open level sets from the new folder")
reg_query "$uninstall_key" | grep -qxF "    $SETUP_INSTALL_LOCATION    REG_SZ    C:\Program Files\Quillomar" ||
  problems+=("Programs and Features does not name the new folder")
rm -f "$game/$SETUP_UNINSTALLER" "$game/$SETUP_PROGRAM_NAME"
finish

# The uninstaller gives .qlm back to the program that had it and takes the
# players' entries out of Levels.
scenario setup-silent-uninstall --same-machine
mapfile -t options < <(registered "$uninstall_key" QuietUninstallString)
traced timeout 120 "$WINE" "$driver" run --timeout-ms 60000 "${options[@]}" --answers '' >"$work/$current.report"
[ "$(tail -n 1 "$work/$current.report")" = "exit 0" ] ||
  problems+=("the uninstaller did not end with 0:" "$(cat "$work/$current.report")")
# Its own file goes once it has ended.
for _ in $(seq 600); do [ -e "$moved/$SETUP_UNINSTALLER" ] || break; sleep 0.1; done
untraced
for file in "${SETUP_INSTALLED_FILES[@]}" "$SETUP_LEVELS"; do
  expect_absent "$moved/$file"
done
[ -f "$moved/$SETUP_GAME_PROGRAM" ] || problems+=("the game's own program is gone")
expect_same "$ocean" "$levels/Ocean Set.qlm"
diff -u <(levels_security released) <(security_set_in 'C:\\Program Files\\Quillomar') >"$work/$current.diff" ||
  problems+=("the security set for Levels differs:" "$(cat "$work/$current.diff")")
diff -u <(printf '%s\n' \
  'HKEY_LOCAL_MACHINE\Software\Classes\.qlm' \
  '    (Default)    REG_SZ    Quillomar.Editor' \
  'HKEY_LOCAL_MACHINE\Software\Classes\.qlm\OpenWithProgids' \
  '    Quillomar.Editor    REG_SZ    '
  printf '%s\n' "$editor") \
  <(reg_query "$classes\\.qlm"; reg_query "$classes\\Quillomar.Editor") \
  >"$work/$current.diff" || problems+=("the registry differs:" "$(cat "$work/$current.diff")")
for key in "$classes\\$SETUP_PROGID" "$uninstall_key"; do
  "$WINE" reg query "$key" >/dev/null 2>&1 && problems+=("$key is still there")
done
finish
# An installation whose folder is gone (the game's own uninstaller took
# it) and that another user recreated as a link to a folder of theirs,
# with an empty Levels and a program of that name in it: installed into
# another folder, the setup writes the new registration and leaves the old
# folder, and whatever it leads to, as it is.
scenario setup-moves-from-a-recreated-folder
other="$drive/Other"
mkdir -p "$moved" && echo "the game" >"$moved/$SETUP_GAME_PROGRAM"
timeout 120 "$WINE" "$setup" /S '/D=C:\Program Files\Quillomar' >/dev/null 2>&1 ||
  problems+=("the first install failed")
rm -rf "$moved" && mkdir -p "$other/$SETUP_LEVELS" && echo "theirs" >"$other/$SETUP_PROGRAM_NAME" &&
  ln -s ../Other "$moved" || problems+=("cannot recreate $moved as a link")
mkdir -p "$game" && echo "the game" >"$game/$SETUP_GAME_PROGRAM"
timeout 120 "$WINE" "$setup" /S '/D=C:\Games\Quillomar' >/dev/null 2>&1
status=$?
[ $status -eq 0 ] || problems+=("the setup ended with status $status")
[ -d "$other/$SETUP_LEVELS" ] || problems+=("the setup removed the Levels that the old folder's link leads to")
[ "$(cat "$other/$SETUP_PROGRAM_NAME" 2>&1)" = theirs ] || problems+=("the setup removed the program that the link leads to")
[ -L "$moved" ] || problems+=("the setup removed the link")
[ "$(reg_default "$classes\\$SETUP_PROGID\\shell\\open\\command")" = "\"C:\Games\Quillomar\\$SETUP_PROGRAM_NAME\" \"%1\"" ] ||
  problems+=("the file type does not open level sets from the new folder")
reg_query "$uninstall_key" | grep -qxF "    $SETUP_INSTALL_LOCATION    REG_SZ    C:\Games\Quillomar" ||
  problems+=("Programs and Features does not name the new folder")
timeout 120 "$WINE" "C:\Games\Quillomar\\$SETUP_UNINSTALLER" /S
for _ in $(seq 600); do [ -e "$uninstaller" ] || break; sleep 0.1; done
rm -f "$moved" && rm -r "$other"
finish

echo "setup e2e: $((ledger_passed + ledger_failed)) scenarios in $(( $(date +%s) - started )) s; pictures in $pictures"
ledger_end setup-e2e
