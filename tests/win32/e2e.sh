#!/usr/bin/env bash
# End-to-end scenarios of the Windows program, as a user meets it: the real
# levelset-installer.exe in a Wine prefix, driven as tests/win32/scenarios.sh
# says. On the way, each kind of box is pictured.
#
#   tests/win32/e2e.sh --build build/windows --work build/wine-e2e
#                      [--prefix DIR] [--pictures DIR]
#
# --prefix: an already booted Wine prefix to use (default: a fresh one under
# the work directory, booted here). --pictures: where the pictures of the
# boxes go, as windows-KIND.png (default: work/pictures). Exits
# non-zero when any scenario fails.
set -uo pipefail

source "$(dirname "$0")/scenarios.sh"

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

# The player's own link named as a level set (an archive tool made it) to a
# file that is not one: what is published is the file itself, by its own
# name.
scenario link-to-a-file-not-named-as-a-level-set
ln -s notes.txt "$drive/Temp/Forest.qlm" || problems+=("cannot link C:\\Temp\\Forest.qlm to notes.txt")
run_installer "$(question 'Forest' Yes
    copy_refused 'C:\Temp\Forest.qlm' "'C:\Temp\Forest.qlm' leads to a file that is not a level set"
    echo 'exit 0')" \
  '"C:\Games\Quillomar\levelset-installer.exe" "C:\Temp\Forest.qlm"' --answers yes,ok
expect_files_in_levels
rm -f "$drive/Temp/Forest.qlm"
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

# What Windows reads from the program file: its version, copyright line,
# manifest and icon.
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
