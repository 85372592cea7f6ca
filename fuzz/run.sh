#!/usr/bin/env bash
# Builds every libFuzzer target (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer, the core instrumented too) in build-fuzz and runs each one for
# SECONDS seconds on a working copy of its seed corpus. Prints the executions
# and the findings per target; exits non-zero on any finding.
#
#   fuzz/run.sh [SECONDS] [TARGET...]     default 15 seconds, every target
#   KUV_FUZZ_RUNS=10000000 fuzz/run.sh 7200   stop each target after that many
#                                             executions (or the time, if sooner)
#
# Other settings: KUV_FUZZ_BUILD (build folder), KUV_FUZZ_JOBS (ninja jobs,
# default 2), KUV_FUZZ_MAX_LEN (largest input, default 8192). The committed
# seeds in fuzz/corpus are never written; the working corpus, the logs and
# the findings stay under the build folder.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KUV_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-15}
shift || true
runs=${KUV_FUZZ_RUNS:-}
jobs=${KUV_FUZZ_JOBS:-2}
max_len=${KUV_FUZZ_MAX_LEN:-8192}

case $seconds in
  '' | *[!0-9]*) echo "usage: fuzz/run.sh [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

echo "== configuring and building the fuzz targets in $build =="
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g" -DCMAKE_C_FLAGS="-O1 -g" \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DKUV_BUILD_FUZZ=ON -DKUV_CORE_ONLY=ON -DKUV_BUILD_TESTS=OFF -DKUV_BUILD_BENCH=OFF \
  >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
ninja -C "$build" -j"$jobs" kuv_fuzz >"$build/build.log" 2>&1 || { tail -50 "$build/build.log" >&2; exit 1; }

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in "$root"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

# The targets' scratch files live in a folder of this run, on a memory file
# system when there is one, removed whatever happens.
scratch_base=/dev/shm
[ -d "$scratch_base" ] && [ -w "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_base/kuv-fuzz-run.XXXXXX")
# A stopped run stops its target first: removing the folder under a running
# target would make its file properties fail for no fault of the program.
fuzzer=
cleanup() {
  if [ -n "$fuzzer" ]; then
    kill "$fuzzer" 2>/dev/null || true
    wait "$fuzzer" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TZ=Asia/Tokyo

summary=$build/summary.txt
: >"$summary"
status=0
printf '%-20s %12s %8s %10s  %s\n' target executions exec/s seconds findings | tee -a "$summary"
for t in "${targets[@]}"; do
  exe=$build/bin/$t
  [ -x "$exe" ] || { echo "no such fuzz target: $t" >&2; status=1; continue; }
  work=$build/corpus/$t
  findings=$build/findings/$t
  log=$build/logs/$t.log
  # Findings of an earlier run are kept aside, so that this run counts its own.
  if [ -d "$findings" ] && [ -n "$(ls -A "$findings")" ]; then
    mkdir -p "$build/findings-earlier/$t"
    mv "$findings"/* "$build/findings-earlier/$t"/
  fi
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  # Seeds are copied in every time; what the fuzzer added before is kept.
  cp -f "$root/fuzz/corpus/$t"/* "$work"/ 2>/dev/null || true
  args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len="$max_len"
        -print_final_stats=1 -artifact_prefix="$findings/")
  [ -n "$runs" ] && args+=(-runs="$runs")
  [ -f "$root/fuzz/dict/$t.dict" ] && args+=(-dict="$root/fuzz/dict/$t.dict")
  start=$(date +%s)
  rc=0
  KUV_FUZZ_SCRATCH=$scratch "$exe" "${args[@]}" "$work" >"$log" 2>&1 &
  fuzzer=$!
  wait "$fuzzer" || rc=$?
  fuzzer=
  took=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
          -o -name 'oom-*' -o -name 'death-*' \) | wc -l)
  note="$found"
  if [ "$found" -gt 0 ] || [ "$rc" -ne 0 ]; then
    status=1
    note="$found (exit $rc; see $log and $findings)"
  fi
  printf '%-20s %12s %8s %10s  %s\n' "$t" "${execs:-?}" "${speed:-?}" "$took" "$note" | tee -a "$summary"
done
[ $status -eq 0 ] && echo "no findings" || echo "FINDINGS: see above" >&2
exit $status
