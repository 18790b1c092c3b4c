#!/usr/bin/env bash
# Installs the .deb on this system with dpkg, checks what the desktop then
# knows (the MIME type of *.qlm in any letter case, its default application,
# a double-click through GIO by a player who is not root, which installs
# through the game's Levels link into the shared directory), removes it,
# installs it again and purges it, and checks that players' level sets stay
# and nothing else does. First of all, the package must refuse to install
# where the game's Levels is already a directory.
#
# Usage (as root): tests/desktop/deb-install.sh PATH-TO.deb
# Needs: dpkg, xdg-utils, libfile-mimeinfo-perl, shared-mime-info,
# desktop-file-utils, libglib2.0-bin (gio), Xvfb, xdotool, a C++ compiler.
set -uo pipefail
deb=${1:?usage: deb-install.sh PATH-TO.deb}
[ "$(id -u)" -eq 0 ] || { echo "deb-install.sh must run as root (dpkg -i)" >&2; exit 2; }
source "$(dirname "$0")/lib.sh"

mime_type=application/x-quillomar-levelset
desktop_id=quillomar-levelset-installer.desktop
package=$(dpkg-deb -f "$deb" Package)
game_dir=/usr/lib/quillomar
program=$game_dir/levelset-installer
shared_dir=/var/games/quillomar
levels=$shared_dir/Levels
player=nobody

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  stop_display
  rm -rf "$work"
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    dpkg -r "$package" >/dev/null 2>&1
  fi
}
trap cleanup EXIT

# Settings of whoever runs this must not decide the answers.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data HOME=$work/home
export XDG_DATA_DIRS=/usr/local/share:/usr/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$HOME"
chmod 777 "$HOME"

is_installed() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; }
filetype_is() {  # FILE TYPE
  local got
  got=$(xdg-mime query filetype "$1")
  echo "xdg-mime query filetype $(basename "$1"): $got"
  [ "$got" = "$2" ]
}
gio_type_is() {  # FILE TYPE
  local got
  got=$(gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p')
  echo "gio content type of $(basename "$1"): $got"
  [ "$got" = "$2" ]
}
default_is() {
  local got
  got=$(xdg-mime query default "$mime_type")
  echo "xdg-mime query default $mime_type: $got"
  [ "$got" = "$1" ]
}
# The desktop entry and the type both name the icon that the package put
# into the hicolor theme, drawn for each size.
icon_is_ours() {
  local name=quillomar-levelset size
  gio info -a standard::icon "$downloads/Ocean Set.qlm" | grep "standard::icon:"
  gio info -a standard::icon "$downloads/Ocean Set.qlm" | grep -q "standard::icon: $name," &&
    grep -qx "Icon=$name" "/usr/share/applications/$desktop_id" &&
    test -f "/usr/share/icons/hicolor/scalable/apps/$name.svg" || return 1
  for size in 16 24 32 48 256; do
    file "/usr/share/icons/hicolor/${size}x$size/apps/$name.png" | grep -q ": PNG image data, $size x $size," || return 1
  done
}
cache_names_us() { grep -qx "$mime_type=$desktop_id;" /usr/share/applications/mimeinfo.cache; }
not_() { ! "$@"; }

# Double-clicks a file as the player: GIO starts the type's default
# application, as a file manager does; then answers Yes and OK. The copy
# lands in the shared directory, through the link.
double_click() {  # FILE INSTALLED-NAME
  local file=$1 id
  runuser -u "$player" -- env DISPLAY="$DISPLAY" HOME="$HOME" XDG_DATA_DIRS="$XDG_DATA_DIRS" \
    XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" XDG_DATA_HOME="$XDG_DATA_HOME" \
    GDK_BACKEND=x11 NO_AT_BRIDGE=1 gio open "$file" || return 1
  id=$(wait_window "$caption_question" "") || { echo "no question came"; return 1; }
  press_keys "$id" Return && wait_window_gone "$id" || { echo "the question stayed"; return 1; }
  id=$(wait_window "$caption_installed" "" "$id") || { echo "no confirmation came"; return 1; }
  press_keys "$id" Return && wait_window_gone "$id" || { echo "the confirmation stayed"; return 1; }
  local deadline=$((SECONDS + DESKTOP_TIMEOUT))
  while pgrep -u "$player" -x levelset-instal >/dev/null; do
    [ $SECONDS -lt $deadline ] || { echo "the installer did not end"; return 1; }
    sleep 0.1
  done
  cmp "$file" "$levels/$2" || return 1
  echo "installed: $(stat -c '%U %a %n' "$levels/$2")"
  [ "$(stat -c %U "$levels/$2")" = "$player" ] && [ -L "$game_dir/Levels" ]
}

# dpkg keeps a directory where the package has its link: players could not
# install through it. The package says so, names it, and installs nothing.
refuses_where_levels_is_a_directory() {
  [ ! -e "$game_dir" ] || { echo "$game_dir is there already: not tried"; return 1; }
  mkdir -p "$game_dir/Levels" && echo "the game's own" >"$game_dir/Levels/Kept.qlm" || return 1
  local output status=0
  output=$(dpkg -i "$deb" 2>&1) || status=$?
  echo "$output"
  [ $status -ne 0 ] && grep -qF "$game_dir/Levels is already there" <<<"$output" && ! is_installed &&
    [ ! -L "$game_dir/Levels" ] && [ -f "$game_dir/Levels/Kept.qlm" ]
  status=$?
  rm -r "$game_dir"
  return $status
}

# dpkg -r removes everything of the package but the shared Levels that
# players' level sets are in, and says so.
removes_and_keeps() {
  local output
  output=$(dpkg -r "$package" 2>&1) || return 1
  echo "$output"
  grep -qF "directory '$levels' not empty so not removed" <<<"$output" &&
    [ ! -e "$program" ] && [ ! -L "$game_dir/Levels" ] && [ -f "$levels/Ocean Set.QLM" ]
}

load_texts || { echo "the installer's texts could not be had from tests/texts.h" >&2; exit 1; }
if is_installed; then
  echo "note: $package was installed; removing it first"
  dpkg -r "$package" >/dev/null || exit 1
fi
var_games_was_there=$(ls -d /var/games 2>/dev/null)

downloads=$work/Downloads
mkdir -p "$downloads" "$work/run"
chmod 755 "$downloads"
chown "$player" "$work/run"
chmod 700 "$work/run"
for name in "Ocean%20Set-2.QLM" "Ocean Set.qlm" "Mixed.QlM" "Notes.qlmx"; do
  printf 'level set %s\n' "$name" >"$downloads/$name"
done
chmod 644 "$downloads"/*

expect "before: *.qlm has no type of its own" not_ filetype_is "$downloads/Ocean Set.qlm" "$mime_type"
depends_on_gtk() { dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -q '^ *libgtk-3-0\b'; }
expect "the package depends on libgtk-3-0" depends_on_gtk
expect "dpkg -i refuses while $game_dir/Levels is a directory, and names it" \
  refuses_where_levels_is_a_directory
expect "dpkg -i installs the package" dpkg -i "$deb"
expect "the package is installed" is_installed
expect "the program is in $game_dir" test -x "$program"
expect "$levels is there for every player (1777)" test "$(stat -c %a "$levels" 2>/dev/null)" = 1777
expect "$game_dir/Levels links to it" test "$(readlink "$game_dir/Levels")" = "$levels"
expect "the desktop entry is valid" desktop-file-validate "/usr/share/applications/$desktop_id"
expect "the desktop entry starts $program with %f" \
  grep -qx "Exec=$program %f" "/usr/share/applications/$desktop_id"
expect "the MIME trigger compiled the type" test -f "/usr/share/mime/$mime_type.xml"
expect "the desktop trigger listed the entry for the type" cache_names_us
expect "xdg-mime: *.QLM is $mime_type" filetype_is "$downloads/Ocean%20Set-2.QLM" "$mime_type"
expect "xdg-mime: *.qlm is $mime_type" filetype_is "$downloads/Ocean Set.qlm" "$mime_type"
expect "xdg-mime: *.QlM is $mime_type" filetype_is "$downloads/Mixed.QlM" "$mime_type"
expect "xdg-mime: *.qlmx is not" not_ filetype_is "$downloads/Notes.qlmx" "$mime_type"
expect "gio: *.QLM is $mime_type" gio_type_is "$downloads/Ocean%20Set-2.QLM" "$mime_type"
expect "xdg-mime: the default for $mime_type is $desktop_id" default_is "$desktop_id"
expect "the entry and the type show the package's icon, 16 to 256 pixels" icon_is_ours

if start_display; then
  expect "double-click as $player: asked, installed as $levels/Ocean Set.QLM" \
    double_click "$downloads/Ocean%20Set-2.QLM" "Ocean Set.QLM"
else
  expect "an X display for the double-click" false
fi
stop_display

expect "dpkg -r removes the package, keeps the level set and says so" removes_and_keeps
expect "installed again, the package finds the level set" \
  eval 'dpkg -i "$deb" && test -f "$game_dir/Levels/Ocean Set.QLM"'
expect "dpkg --purge purges the installed package" dpkg --purge "$package"
expect "the package is gone, not even its configuration is known" \
  not_ dpkg-query -W "$package"
expect "the program is gone" not_ test -e "$program"
expect "the desktop entry and the icon are gone" \
  not_ test -e "/usr/share/applications/$desktop_id" -o -e /usr/share/icons/hicolor/scalable/apps/quillomar-levelset.svg
expect "the type is gone" not_ test -e "/usr/share/mime/$mime_type.xml"
expect "the desktop cache no longer names the entry" not_ cache_names_us
expect "xdg-mime: *.qlm has no type of its own again" not_ filetype_is "$downloads/Ocean Set.qlm" "$mime_type"
# A player's level set outlives the package; what this test put there goes.
expect "the player's level set is kept" test -f "$levels/Ocean Set.QLM"
expect "nothing of the package is left in $game_dir" not_ test -e "$game_dir"
rm -f "$levels/Ocean Set.QLM"
rmdir "$levels" "$shared_dir" 2>/dev/null
[ -n "$var_games_was_there" ] || rmdir /var/games 2>/dev/null

ledger_end "deb install"
