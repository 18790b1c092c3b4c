#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (the list in
# packaging/linux/build-depends). Extra package names may be given as
# arguments.
set -euo pipefail
packages=()
while read -r package _; do
  case "$package" in ''|'#'*) ;; *) packages+=("$package") ;; esac
done <"$(dirname "$0")/../packaging/linux/build-depends"
packages+=("$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  # Another install running at the same time is waited for, not failed on.
  $SUDO apt-get -o DPkg::Lock::Timeout=900 update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q \
    --no-install-recommends "${missing[@]}"
fi
