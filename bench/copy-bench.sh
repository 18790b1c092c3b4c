#!/usr/bin/env bash
# How fast the installer copies a level set, against cp followed by sync of
# the copied file, and how much memory it takes. Prints a markdown table.
# Not a test: it only measures.
#
# Builds a release installer into build/bench (the settings of the "linux"
# preset) and works in a temporary directory that it removes at the end.
#
#   RUNS=5              runs per large copy (the median is shown)
#   SMALL_RUNS=21       runs of the small level set
#   PLANTED=400000      names planted in Levels, as others could, for the
#                       last row: each has a temporary file's name and was
#                       written just now, so no install clears it
#   INSTALLER=path      measure this installer program instead of the one
#                       built into build/bench
#   BENCH_DIR           where the level sets are written (its file system
#                       is what is measured; $TMPDIR, or /tmp when that is
#                       not set); needs about 3.5 GiB free
set -euo pipefail
cd "$(dirname "$0")/.." || exit 1

RUNS="${RUNS:-5}"
SMALL_RUNS="${SMALL_RUNS:-21}"
PLANTED="${PLANTED:-400000}"
BENCH_DIR="${BENCH_DIR:-${TMPDIR:-/tmp}}"

scripts/install-deps.sh time coreutils binutils >/dev/null

if [ -z "${INSTALLER:-}" ]; then
  cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build build/bench --target levelset-installer >/dev/null
  INSTALLER=build/bench/levelset-installer
fi

work="$(mktemp -d "$BENCH_DIR/levelset-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
game="$work/game"
mkdir -p "$game" "$work/src" "$work/cp" "$work/run"
cp "$INSTALLER" "$game/levelset-installer"
installer="$game/levelset-installer"

# Microseconds, without starting a process.
now() { local t="${EPOCHREALTIME/[.,]/}"; echo "$((10#$t))"; }

# Milliseconds, two decimals, from microseconds.
ms() { awk -v n="$1" 'BEGIN { printf "%.2f", n / 1e3 }'; }

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

install_once() {  # install_once SOURCE: the headless installer, as a user starts it
  local status=0
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/run" "$installer" "$1" \
    </dev/null >/dev/null 2>&1 || status=$?
  [ $status -le 1 ]
}

time_installer() {  # time_installer SOURCE TARGET: appends microseconds
  rm -f "$2"
  sync
  local t0 t1
  t0=$(now)
  install_once "$1"
  t1=$(now)
  echo $((t1 - t0)) >>"$work/installer.us"
  cmp -s "$1" "$2" || { echo "installed copy differs" >&2; exit 1; }
}

time_cp() {  # time_cp SOURCE TARGET: cp and sync of the copied file
  rm -f "$2"
  sync
  local t0 t1
  t0=$(now)
  cp "$1" "$2"
  sync "$2"
  t1=$(now)
  echo $((t1 - t0)) >>"$work/cp.us"
}

# time_pair SOURCE RUNS: median microseconds of the installer and of cp+sync,
# run in turns so that both see the same page cache.
time_pair() {
  local source="$1" runs="$2" name target
  name="$(basename "$source")"
  target="$game/Levels/$name"
  : >"$work/installer.us"
  : >"$work/cp.us"
  install_once "$source"  # warm up: Levels exists, the source is cached
  for ((i = 0; i < runs; i++)); do
    # Which goes first alternates, so that neither always follows the other.
    if ((i % 2 == 0)); then
      time_installer "$source" "$target"
      time_cp "$source" "$work/cp/$name"
    else
      time_cp "$source" "$work/cp/$name"
      time_installer "$source" "$target"
    fi
  done
  rm -f "$target" "$work/cp/$name"
  echo "$(median <"$work/installer.us") $(median <"$work/cp.us")"
}

peak_rss() {  # peak_rss SOURCE: the installer's maximum resident set, KiB
  rm -f "$game/Levels/$(basename "$1")"
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/run" /usr/bin/time -f %M -o "$work/rss" \
    "$installer" "$1" </dev/null >/dev/null 2>&1 || true
  tail -n 1 "$work/rss"
}

# startup RUNS: median microseconds of a run that copies nothing (the level
# set is missing, the message goes to standard error).
startup() {
  : >"$work/startup.us"
  for ((i = 0; i < $1; i++)); do
    t0=$(now)
    install_once "$work/src/missing.qlm"
    t1=$(now)
    echo $((t1 - t0)) >>"$work/startup.us"
  done
  median <"$work/startup.us"
}

make_set() {  # make_set NAME MIB
  head -c "$(($2 * 1024 * 1024))" /dev/urandom >"$work/src/$1"
}

head -c 4096 /dev/urandom >"$work/src/small.qlm"
make_set one.qlm 1
make_set mid.qlm 64
make_set big.qlm 1024

read -r small_i small_c < <(time_pair "$work/src/small.qlm" "$SMALL_RUNS")
read -r mid_i mid_c < <(time_pair "$work/src/mid.qlm" "$RUNS")
read -r big_i big_c < <(time_pair "$work/src/big.qlm" "$RUNS")
start_i=$(startup "$SMALL_RUNS")
rss_one=$(peak_rss "$work/src/one.qlm")
rss_big=$(peak_rss "$work/src/big.qlm")
# Last, as it slows whatever works in Levels.
seq 1 "$PLANTED" | awk '{ printf ".levelset-%016x.tmp\n", $1 }' | (cd "$game/Levels" && xargs touch)
read -r planted_i planted_c < <(time_pair "$work/src/small.qlm" "$SMALL_RUNS")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
stripped() {  # stripped FILE STRIP: size in bytes after stripping a copy
  "$2" -o "$work/stripped" "$1" && stat -c %s "$work/stripped"
}

fs=$(df -T "$work" | awk 'NR == 2 { print $2 }')
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo "Machine: $(nproc) cores, $cpu, $(uname -r); level sets on $fs ($BENCH_DIR)"
echo
echo "| What | Installer | cp + sync | Ratio |"
echo "|---|---:|---:|---:|"
echo "| Copy 64 MiB (median of $RUNS), ms | $(ms "$mid_i") | $(ms "$mid_c") | $(ratio "$mid_i" "$mid_c") |"
echo "| Copy 1 GiB (median of $RUNS), ms | $(ms "$big_i") | $(ms "$big_c") | $(ratio "$big_i" "$big_c") |"
echo "| Small level set, 4 KiB (median of $SMALL_RUNS), ms | $(ms "$small_i") | $(ms "$small_c") | $(ratio "$small_i" "$small_c") |"
echo "| Small level set, Levels holding $PLANTED planted names (median of $SMALL_RUNS), ms | $(ms "$planted_i") | $(ms "$planted_c") | $(ratio "$planted_i" "$planted_c") |"
echo "| Start-up alone, nothing copied (median of $SMALL_RUNS), ms | $(ms "$start_i") | | |"
echo "| Peak memory (max RSS), 1 MiB level set, KiB | $rss_one | | |"
echo "| Peak memory (max RSS), 1 GiB level set, KiB | $rss_big | | $(ratio "$rss_big" "$rss_one") |"
echo "| Stripped size, Linux installer, bytes | $(stripped "$INSTALLER" strip) | | |"
if [ -f build/windows/levelset-installer.exe ]; then
  winstrip=x86_64-w64-mingw32-strip
  command -v "$winstrip" >/dev/null || winstrip=strip
  echo "| Stripped size, Windows installer, bytes | $(stripped build/windows/levelset-installer.exe "$winstrip") | | |"
fi
