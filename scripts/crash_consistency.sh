#!/usr/bin/env bash
# The long run of the crash-consistency test: a saving child killed with
# SIGKILL at random moments, KILLS times (default 1000), on a memory file
# system and then on the disk, with the figures of each run.
#
#   scripts/crash_consistency.sh [KILLS] [SEED]
#
# Without SEED (or KUV_CRASH_SEED) the test's fixed default seed is used, so
# that a run can be repeated; each run prints the seed it used.
#
# Builds the test in build-robust (Debug, core only) when needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KUV_ROBUST_BUILD:-$root/build-robust}
kills=${1:-1000}
seed=${2:-${KUV_CRASH_SEED:-}}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKUV_CORE_ONLY=ON \
  -DKUV_BUILD_BENCH=OFF >/dev/null
ninja -C "$build" -j"${KUV_JOBS:-2}" robustness_test_crash_consistency \
  robustness_test_lock_crash >/dev/null

status=0
run() {
  local where=$1 n=$2
  echo "== $n kills, working in $where, seed ${seed:-(the default)} =="
  KUV_ROBUST_DIR=$where KUV_CRASH_KILLS=$n KUV_CRASH_SEED=$seed TZ=Asia/Tokyo \
    "$build/bin/robustness_test_crash_consistency" 2>&1 \
    | grep -v -e '^\[' -e '^Running main' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # The strong lock's conversions, a tenth as many kills: each one runs a
  # whole diary's conversion.
  KUV_ROBUST_DIR=$where KUV_CRASH_KILLS=$(( n / 10 + 1 )) TZ=Asia/Tokyo \
    "$build/bin/robustness_test_lock_crash" 2>&1 | grep -v -e '^\[' -e '^Running main' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}
fast=/dev/shm
[ -d "$fast" ] && [ -w "$fast" ] || fast=${TMPDIR:-/tmp}
run "$fast" "$kills"
# On the disk every flush is real; fewer kills keep the run within minutes.
run "${TMPDIR:-/tmp}" "${KUV_DISK_KILLS:-$(( kills / 4 ))}"
[ $status -eq 0 ] && echo "crash consistency: no entry lost" || echo "crash consistency: FAILURES" >&2
exit $status
