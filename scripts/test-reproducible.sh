#!/usr/bin/env bash
# Builds the release artefacts of the last commit twice, each time in a
# fresh clone in a temporary tree of its own (the second on another file
# system where /dev/shm is there, with another umask, later), and checks that
# levelset-installer, levelset-installer.exe, the .deb, the .zip and the
# (unsigned) Windows setup come out the same byte for byte. Prints each artefact's SHA-256 and the time taken.
#
#   scripts/test-reproducible.sh [OUT-DIR]
#
# OUT-DIR: also copy the artefacts there, with their checksums in SHA256SUMS
# (what a release publishes; see "Releases" in docs/packaging.md).
set -uo pipefail
out=${1:+$(realpath -m "$1")}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/lib.sh
started=$SECONDS

scripts/install-deps.sh git dpkg-dev file python3 g++-mingw-w64-x86-64-posix nsis >/dev/null ||
  { echo "cannot install the packages" >&2; exit 1; }
commit=$(git rev-parse HEAD) || exit 1
echo "commit $commit, $(git log -1 --format='committed %cI' HEAD)"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "note: the changes not committed are not in these builds"
echo "tools: $(cmake --version | head -n1); $(g++ --version | head -n1);" \
  "$(x86_64-w64-mingw32-g++-posix --version | head -n1); $(dpkg-deb --version | head -n1);" \
  "$(python3 --version); $(makensis -VERSION)"

artefacts=(
  build/desktop/levelset-installer
  build/desktop/quillomar-levelset-installer_*_amd64.deb
  build/windows/levelset-installer.exe
  build/windows/quillomar-levelset-installer-*-windows.zip
  build/windows/quillomar-levelset-installer-*-setup.exe
)
trees=()
cleanup() { rm -rf "${trees[@]}"; }
trap cleanup EXIT

# build PARENT-DIR UMASK: clones the commit into PARENT-DIR and builds the
# release artefacts there (no tests), the log in PARENT-DIR/build.log.
build() {
  local tree
  tree=$(mktemp -d -p "$1" levelset-release.XXXXXX) || return 1
  trees+=("$tree")
  echo "building in $tree (umask $2)"
  (
    umask "$2"
    set -e
    git clone -q --no-checkout "$root" "$tree/src"
    cd "$tree/src"
    git checkout -q --detach "$commit"
    cmake --preset desktop -DBUILD_TESTING=OFF
    cmake --build --preset desktop
    (cd build/desktop && cpack -G DEB)
    cmake --preset windows -DBUILD_TESTING=OFF
    cmake --build --preset windows
    (cd build/windows && cpack -G ZIP)
    env -u LEVELSET_SIGN_PKCS12 cmake --build --preset windows --target setup
  ) >"$tree/build.log" 2>&1 || { tail -n 40 "$tree/build.log"; echo "the build in $tree failed"; return 1; }
}

second=/dev/shm
[ -d "$second" ] && [ -w "$second" ] || second=${TMPDIR:-/tmp}
build "${TMPDIR:-/tmp}" 002 || exit 1
build "$second" 077 || exit 1
[ -z "$out" ] || { mkdir -p "$out" && rm -f "$out/SHA256SUMS.new"; } || exit 1

for pattern in "${artefacts[@]}"; do
  one=$(compgen -G "${trees[0]}/src/$pattern" | head -n1)
  two=$(compgen -G "${trees[1]}/src/$pattern" | head -n1)
  if [ -z "$one" ] || [ -z "$two" ]; then
    record "$pattern: not built" 1
    continue
  fi
  sum_one=$(sha256sum <"$one" | cut -d' ' -f1)
  sum_two=$(sha256sum <"$two" | cut -d' ' -f1)
  if [ "$sum_one" = "$sum_two" ]; then
    record "$sum_one  $(basename "$one")" 0
    if [ -n "$out" ]; then
      cp "$one" "$out/" &&
        (cd "$out" && sha256sum "$(basename "$one")") >>"$out/SHA256SUMS.new"
    fi
  else
    record "$(basename "$one") differs: $sum_one != $sum_two" 1 "$(cmp -l "$one" "$two" | head -n 5)"
  fi
done
if [ -n "$out" ] && [ $ledger_failed -eq 0 ]; then
  mv "$out/SHA256SUMS.new" "$out/SHA256SUMS" && echo "artefacts and SHA256SUMS in $out"
fi
if [ $ledger_failed -ne 0 ]; then
  trap - EXIT  # keep both trees to compare
  echo "the trees are kept: ${trees[*]}"
fi
echo "took $((SECONDS - started)) s"
ledger_end reproducible
