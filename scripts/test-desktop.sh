#!/usr/bin/env bash
# The Linux program on a desktop: builds it in build/desktop, packages it as
# a .deb, checks the package with lintian, installs it with dpkg and checks
# the file association and a double-click, removes it again, then answers the
# GTK message boxes on an Xvfb display from the keyboard. Runs every step,
# then says which failed.
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

test_deb() {
  [ -n "${deb:-}" ] || { echo "no .deb was built"; return 1; }
  $SUDO tests/desktop/deb-install.sh "$deb"
}

test_gtk() {
  [ -x "$build/levelset-installer" ] || { echo "no program was built"; return 1; }
  tests/desktop/gtk-dialogs.sh "$build/levelset-installer"
}

check "install what the desktop tests need" install_deps
check "build the Linux program ($build)" build_program
check "build the .deb (cpack)" build_deb
check "lintian on the .deb" lintian_deb
check "install the .deb, file association, double-click, remove" test_deb
check "GTK message boxes on Xvfb" test_gtk

ledger_end desktop
