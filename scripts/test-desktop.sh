#!/usr/bin/env bash
# The Linux program on a desktop: builds it in build/desktop, packages it as
# a .deb, checks the package with lintian, installs it with dpkg and checks
# the file association and a double-click, removes it again, then answers the
# GTK message boxes on an Xvfb display from the keyboard. Also packs the
# Windows .zip when the Windows program has been built. Runs every step, then
# says which failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
export DEBIAN_FRONTEND=noninteractive
build=build/desktop
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
source scripts/lib.sh

install_deps() {
  scripts/install-deps.sh dpkg-dev file binutils lintian xvfb xdotool x11-utils procps python3 python3-xlib \
    util-linux xdg-utils libfile-mimeinfo-perl shared-mime-info desktop-file-utils libglib2.0-bin
}

build_program() {
  # The preset "desktop": Release, installed under /usr, no unit tests.
  quietly cmake --preset desktop && cmake --build --preset desktop
}

build_deb() {
  rm -f "$build"/*.deb
  (cd "$build" && cpack -G DEB) || return 1
  deb=$(ls "$build"/*.deb) || return 1
  echo "$deb:"
  dpkg-deb -f "$deb"
  dpkg-deb -c "$deb"
}

# Debian's checks: no error and no warning. What lintian is wrong about is
# overridden in the package itself (packaging/linux/lintian-overrides).
lintian_deb() {
  [ -n "${deb:-}" ] || { echo "no .deb was built"; return 1; }
  lintian --fail-on error,warning --display-info "$deb"
}

# The hardening that Debian's dpkg-buildflags asks for and lintian does not
# fail on: a guard on the stack of every function with a buffer there, and
# no .comment section (lintian's info tag binary-has-unneeded-section).
hardened() {
  # Read whole before grep looks: a grep -q that stops at the first match
  # would end readelf with SIGPIPE, which pipefail takes for a failure.
  local program=$build/levelset-installer symbols sections
  symbols=$(readelf --dyn-syms -W "$program") &&
    sections=$(readelf --section-headers -W "$program") || return 1
  grep -q ' __stack_chk_fail@' <<<"$symbols" && ! grep -qF ' .comment ' <<<"$sections"
}

test_deb() {
  [ -n "${deb:-}" ] || { echo "no .deb was built"; return 1; }
  $SUDO tests/desktop/deb-install.sh "$deb"
}

test_gtk() {
  [ -x "$build/levelset-installer" ] || { echo "no program was built"; return 1; }
  tests/desktop/gtk-dialogs.sh "$build/levelset-installer"
}

# The Windows build is another part of the project; its .zip is made here
# when its program is there, into build/desktop.
pack_windows_zip() {
  local windows=build/windows
  if [ ! -f "$windows/levelset-installer.exe" ]; then
    echo "skipped: $windows/levelset-installer.exe is not built (see the windows preset)"
    return 0
  fi
  if ! grep -q '"ZIP"' "$windows/CPackConfig.cmake" 2>/dev/null; then
    echo "skipped: $windows is not configured with cmake/PackagingWin32.cmake"
    return 0
  fi
  rm -f "$build"/*.zip
  cpack -G ZIP --config "$windows/CPackConfig.cmake" -B "$PWD/$build/windows-package" || return 1
  mv "$build"/windows-package/*.zip "$build"/ || return 1
  rm -r "$build/windows-package"
  local zip listing text unpacked=$build/windows-zip
  zip=$(ls "$build"/*.zip) || return 1
  listing=$(cmake -E tar tf "$zip") || return 1
  echo "$zip:"
  echo "$listing"
  grep -q '/levelset-installer.exe$' <<<"$listing" || return 1
  # The texts have Windows line ends: every line ends in CR LF.
  fresh_directory "$unpacked" && (cd "$unpacked" && cmake -E tar xf "../$(basename "$zip")") || return 1
  for text in README.txt LICENSE.txt; do
    [ -s "$unpacked"/*/"$text" ] && ! grep -qv $'\r$' "$unpacked"/*/"$text" ||
      { echo "$text is missing, or has lines that do not end in CR LF"; return 1; }
  done
  rm -r "$unpacked"
}

check "install what the desktop tests need" install_deps
check "build the Linux program ($build)" build_program
check "build the .deb (cpack)" build_deb
check "lintian on the .deb" lintian_deb
check "the program is hardened as dpkg-buildflags asks" hardened
check "install the .deb, file association, double-click, remove" test_deb
check "GTK message boxes on Xvfb" test_gtk
check "Windows .zip (cpack)" pack_windows_zip

ledger_end desktop
