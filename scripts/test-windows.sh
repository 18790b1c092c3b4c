#!/usr/bin/env bash
# Builds the Windows program with mingw-w64 (preset "windows"), packs its
# .zip, makes its setup with NSIS, signed with a throwaway certificate, and
# tests them under Wine: the logic, backend and setup policy tests through
# CTest, then the end-to-end scenarios of the program (tests/win32/e2e.sh)
# and of the setup (setup/windows/tests/e2e.sh) on a virtual X server.
# Works unattended on a fresh Debian 12; exits non-zero when anything fails.
set -uo pipefail
export DEBIAN_FRONTEND=noninteractive
root=$(cd "$(dirname "$0")/.." && pwd) || exit 1
cd "$root" || exit 1
source scripts/lib.sh

check "install what the Windows build and its tests need" \
  quietly scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine wine64 libwine fonts-wine \
  xvfb xauth imagemagick locales nsis osslsigncode openssl icoutils librsvg2-bin || { ledger_end windows; exit 1; }

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  check "generate the ja_JP.UTF-8 locale" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

check "configure preset windows" quietly cmake --preset windows &&
  check "build preset windows" cmake --build --preset windows || { ledger_end windows; exit 1; }

# The icon that the program and the setup carry is the one its drawings make.
check "the icon's pictures are what its drawings make" packaging/icon/make-icons.sh --check

# The program must run on any Windows as one file: only the system's DLLs
# (advapi32 for owners, ntdll for files opened relative to an open folder).
imports_only_system_dlls() {
  local exe=build/windows/levelset-installer.exe imports unexpected
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
  echo "levelset-installer.exe: $(stat -c %s "$exe") bytes; imports: $imports"
  unexpected=$(printf '%s\n' $imports | grep -viE '^(kernel32|user32|advapi32|ntdll|msvcrt)\.dll$')
  [ -z "$unexpected" ] || { echo "the program needs DLLs that Windows does not have: $unexpected"; return 1; }
}
check "imports only system DLLs" imports_only_system_dlls

# The .zip that carries the program (cmake/PackagingWin32.cmake): the
# program, and texts with Windows line ends.
pack_zip() {
  local package=build/windows/package zip listing text
  fresh_directory "$package" || return 1
  (cd build/windows && cpack -G ZIP -B "$PWD/package") >/dev/null || return 1
  zip=$(realpath "$package"/*.zip) || return 1
  listing=$(cmake -E tar tf "$zip") || return 1
  echo "$zip:"
  echo "$listing"
  grep -q '/levelset-installer.exe$' <<<"$listing" || return 1
  # The texts have Windows line ends: every line ends in CR LF.
  mkdir "$package/unpacked" && (cd "$package/unpacked" && cmake -E tar xf "$zip") || return 1
  for text in README.txt LICENSE.txt; do
    [ -s "$package"/unpacked/*/"$text" ] && ! grep -qv $'\r$' "$package"/unpacked/*/"$text" ||
      { echo "$text is missing, or has lines that do not end in CR LF"; return 1; }
  done
}
check "the .zip (cpack)" pack_zip

# A self-signed code-signing certificate made for this run, handed to the
# build the way a publisher hands over theirs.
signing=$root/build/windows/test-signing
signed_build() {
  LEVELSET_SIGN_PKCS12="$signing/signer.p12" LEVELSET_SIGN_PASSWORD_FILE="$signing/password" \
    cmake --build --preset windows --target setup
}
make_signed_setup() {
  fresh_directory "$signing" && rm -f build/windows/quillomar-levelset-installer-*-setup.exe || return 1
  (umask 077 && head -c 24 /dev/urandom | base64 >"$signing/password") &&
    quietly openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillomar test signer" \
      -addext extendedKeyUsage=codeSigning -keyout "$signing/key.pem" -out "$signing/cert.pem" &&
    quietly openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" \
      -passout "file:$signing/password" -out "$signing/signer.p12" &&
    signed_build || return 1
  setup=$(ls build/windows/quillomar-levelset-installer-*-setup.exe) &&
    echo "$setup: $(stat -c %s "$setup") bytes"
}
setup=""
check "make the setup, signed with a throwaway certificate" make_signed_setup

# The last signature, the setup's own, fails (its time-stamp service does
# not answer): the build fails and leaves no setup, neither that half-signed
# one nor the one made above. Then the setup is made as before.
last_signature_fails() {
  local fake=$signing/failing-osslsigncode left
  mkdir -p "$fake" && echo 0 >"$fake/count" || return 1
  printf '%s\n' '#!/bin/sh' \
    "count=\$((\$(cat '$fake/count') + 1)) && echo \$count >'$fake/count'" \
    '[ $count -lt 4 ] || set -- "$@" -ts http://127.0.0.1:9/' \
    "exec '$(command -v osslsigncode)' \"\$@\"" >"$fake/osslsigncode" && chmod +x "$fake/osslsigncode" || return 1
  PATH="$fake:$PATH" signed_build >"$fake/log" 2>&1 && { cat "$fake/log"; echo "the build did not fail"; return 1; }
  # The program, the setup's helper, the uninstaller, the setup.
  [ "$(cat "$fake/count")" = 4 ] || { cat "$fake/log"; echo "$(cat "$fake/count") signatures were tried, not 4"; return 1; }
  left=$(find build/windows -maxdepth 2 -name '*setup*.exe' ! -name levelset-setup-helper.exe)
  [ -z "$left" ] || { echo "a failed build left $left"; return 1; }
  rm -r "$fake" && signed_build
}
[ -z "$setup" ] || check "a failing last signature leaves no setup" last_signature_fails

# One Wine prefix for the whole run, booted once: the CTest preset and the
# end-to-end scenarios both use it.
export WINEPREFIX="$root/build/windows/wineprefix"
wine_environment
boot_prefix() {
  "$WINESERVER" -k >/dev/null 2>&1
  fresh_directory "$WINEPREFIX" && quietly "$WINE" wineboot -i
}
check "boot a fresh Wine prefix in $WINEPREFIX" boot_prefix || { ledger_end windows; exit 1; }

check "unit and flow tests under Wine (ctest --preset windows)" ctest --preset windows
check "end-to-end scenarios of the program under Xvfb and Wine" \
  tests/win32/e2e.sh --build build/windows --work build/wine-e2e --prefix "$WINEPREFIX"
if [ -n "$setup" ]; then
  check "end-to-end scenarios of the setup under Xvfb and Wine" \
    setup/windows/tests/e2e.sh --build build/windows --work build/wine-setup-e2e --prefix "$WINEPREFIX" \
    --setup "$setup" --signed-by "$signing/cert.pem"
fi

"$WINESERVER" -k >/dev/null 2>&1
ledger_end windows
