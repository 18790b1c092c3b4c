#!/usr/bin/env bash
# Builds the Windows program with mingw-w64 (preset "windows") and its setup
# with NSIS, signed with a throwaway certificate, and tests them under Wine:
# the logic and backend tests through CTest, then the end-to-end scenarios
# of tests/win32/e2e.sh on a virtual X server (the setup's among them).
# Works unattended on a fresh Debian 12; exits non-zero when anything fails.
#
#   scripts/test-windows.sh [--update-screenshot]
#
# --update-screenshot also writes the question box to docs/windows-question.png.
set -uo pipefail
export DEBIAN_FRONTEND=noninteractive

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)
screenshot="$root/build/wine-e2e/windows-question.png"
[ "${1:-}" = "--update-screenshot" ] && screenshot="$root/docs/windows-question.png"

step() { echo; echo "== $* ($(( $(date +%s) - started )) s)"; }
results=()
status=0
record() {  # record NAME EXIT-STATUS
  if [ "$2" -eq 0 ]; then results+=("PASS $1"); else results+=("FAIL $1"); status=1; fi
}
summary() {
  echo
  echo "== Windows suite summary ($(( $(date +%s) - started )) s)"
  printf '  %s\n' "${results[@]}"
  if [ $status -eq 0 ]; then echo "Windows suite: all passed"; else echo "Windows suite: FAILED"; fi
}

step "Installing what the Windows build and its tests need"
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine wine64 libwine fonts-wine \
  xvfb xauth imagemagick locales nsis osslsigncode openssl ||
  { echo "cannot install the packages" >&2; exit 1; }

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  step "Generating the ja_JP.UTF-8 locale"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || { echo "cannot generate ja_JP.UTF-8" >&2; exit 1; }
fi

step "Configuring and building preset windows"
cmake --preset windows >build-windows-configure.log 2>&1 ||
  { cat build-windows-configure.log; rm -f build-windows-configure.log; exit 1; }
rm -f build-windows-configure.log
cmake --build --preset windows || exit 1
exe=build/windows/levelset-installer.exe
echo "levelset-installer.exe: $(stat -c %s "$exe") bytes"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
echo "imports: $imports"
unexpected=$(printf '%s\n' $imports | grep -viE '^(kernel32|user32|msvcrt)\.dll$' || true)
if [ -n "$unexpected" ]; then
  echo "the program needs DLLs that Windows does not have: $unexpected"
  record "imports only system DLLs" 1
else
  record "imports only system DLLs ($imports)" 0
fi

step "Making the setup, signed with a throwaway certificate"
# A self-signed code-signing certificate made for this run, handed to the
# build the way a publisher hands over theirs.
signing=$root/build/windows/test-signing
rm -rf "$signing" build/windows/quillomar-levelset-installer-*-setup.exe
mkdir -p "$signing"
(umask 077 && head -c 24 /dev/urandom | base64 >"$signing/password") &&
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillomar test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$signing/key.pem" -out "$signing/cert.pem" \
    >"$signing/openssl.log" 2>&1 &&
  openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" \
    -passout "file:$signing/password" -out "$signing/signer.p12" >>"$signing/openssl.log" 2>&1 ||
  cat "$signing/openssl.log"
LEVELSET_SIGN_PKCS12="$signing/signer.p12" LEVELSET_SIGN_PASSWORD_FILE="$signing/password" \
  cmake --build --preset windows --target setup
record "setup built and signed" $?
setup=$(ls build/windows/quillomar-levelset-installer-*-setup.exe 2>/dev/null)
[ -n "$setup" ] && echo "$setup: $(stat -c %s "$setup") bytes"

# One Wine prefix for the whole run, booted once: the CTest preset and the
# end-to-end scenarios both use it.
export WINEPREFIX="$root/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
step "Booting a fresh Wine prefix in $WINEPREFIX"
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
if /usr/lib/wine/wine64 wineboot -i >build/windows/wineboot.log 2>&1; then
  record "wine prefix" 0
else
  cat build/windows/wineboot.log
  record "wine prefix" 1
  summary
  exit 1
fi

step "Unit and flow tests under Wine (ctest --preset windows)"
ctest --preset windows
record "ctest --preset windows" $?

step "End-to-end scenarios under Xvfb and Wine"
bash tests/win32/e2e.sh --build build/windows --work build/wine-e2e --prefix "$WINEPREFIX" \
  --screenshot "$screenshot" ${setup:+--setup "$setup" --signed-by "$signing/cert.pem"}
record "end-to-end scenarios" $?

/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
summary
exit $status
