#!/usr/bin/env bash
# The hardening that Debian's dpkg-buildflags asks for and lintian does not
# fail on, checked on the Linux program as it is packaged (preset desktop,
# Release): a guard on the stack of every function with a buffer there, and
# no .comment section (lintian's info tag binary-has-unneeded-section).
# Exits non-zero when anything is missing.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/lib.sh
build=build/desktop

check "install packages" scripts/install-deps.sh binutils || { ledger_end hardening; exit 1; }
check "configure preset desktop" quietly cmake --preset desktop &&
  check "build preset desktop" cmake --build --preset desktop || { ledger_end hardening; exit 1; }

hardened() {
  # Read whole before grep looks: a grep -q that stops at the first match
  # would end readelf with SIGPIPE, which pipefail takes for a failure.
  local program=$build/levelset-installer symbols sections
  symbols=$(readelf --dyn-syms -W "$program") &&
    sections=$(readelf --section-headers -W "$program") || return 1
  grep -q ' __stack_chk_fail@' <<<"$symbols" && ! grep -qF ' .comment ' <<<"$sections"
}
check "the program is hardened as dpkg-buildflags asks" hardened

ledger_end hardening
