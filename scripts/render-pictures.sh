#!/usr/bin/env bash
# Renders every kind of message box the installer shows, on a real X display
# (a private Xvfb), into docs/: the GTK dialogs of the Linux program
# (docs/gtk-KIND.png, framed by openbox so that the caption shows) and, when
# build/windows/levelset-installer.exe has been built, the Windows boxes
# under Wine (docs/windows-KIND.png), which the Windows end-to-end scenarios
# picture on their way, with the setup's first pages
# (docs/windows-setup-welcome.png, -licence, -mode, -directory,
# -just-for-me, -finish, -uninstall-finish) when the setup has been built
# (target "setup").
#
#   scripts/render-pictures.sh [gtk|windows|all]     (default: all)
#
# KIND: question, installed, already-installed, game-running, not-found,
# invalid, copy-failure. The GTK dialogs are pictured by
# tests/desktop/gtk-pictures.sh, the Windows boxes by the Windows end-to-end
# scenarios.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$PWD
which=${1:-all}
docs=$root/docs
source scripts/lib.sh
mkdir -p "$docs" build/pictures || exit 1

# --- Windows under Wine --------------------------------------------------------
render_windows() {
  if [ ! -f build/windows/levelset-installer.exe ]; then
    echo "Windows boxes skipped: build/windows/levelset-installer.exe is not built (see the windows preset)"
    return 0
  fi
  local setup
  setup=$(ls build/windows/quillomar-levelset-installer-*-setup.exe 2>/dev/null | head -n 1)
  check "Windows boxes, pictured by the end-to-end scenarios" \
    tests/win32/e2e.sh --build build/windows --work build/pictures/wine --pictures "$docs"
  [ -z "$setup" ] || check "the setup's pages, pictured by its end-to-end scenarios" \
    setup/windows/tests/e2e.sh --build build/windows --work build/pictures/wine-setup --pictures "$docs" \
    --setup "$setup"
}

render_gtk() {
  scripts/install-deps.sh xvfb xdotool x11-utils imagemagick openbox procps util-linux >/dev/null || return 1
  local build=build/desktop
  if [ ! -x "$build/levelset-installer" ]; then
    cmake --preset desktop >/dev/null && cmake --build --preset desktop >/dev/null || return 1
  fi
  check "GTK dialogs" tests/desktop/gtk-pictures.sh "$build/levelset-installer" "$docs"
}

case $which in
  gtk) render_gtk || record "the GTK pictures could be made" 1 ;;
  windows) render_windows ;;
  all) { render_gtk || record "the GTK pictures could be made" 1; }; render_windows ;;
  *) echo "usage: $0 [gtk|windows|all]" >&2; exit 2 ;;
esac
ledger_end pictures
