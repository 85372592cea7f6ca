#!/usr/bin/env bash
# Runs every benchmark on an optimised build and prints each one's figures
# against its floor, measured in the same run:
#   day step       (median)            target: < 1 ms
#   date pattern   vs strftime         target: ratio <= 1.0
#   container      vs cp + sync        target: ratio <= 1.5
#   saving a 64 KiB entry that keeps its codes
#                  vs a load and a plain save       target: ratio <= 2 (one typed character)
#   start-up       vs a bare Qt window target: time and memory ratios <= 1.3
# usage: bench/run.sh [BUILD_DIR]   (default: build, as ./test.sh leaves it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_day_step bench_date_pattern bench_crypt bench_cp932 kuvandoro kuv_bare_window >/dev/null

echo "== one day step in the core =="
"$build/bin/bench_day_step"
echo "== FormatDatePattern against strftime =="
"$build/bin/bench_date_pattern"
echo "== container against cp + sync =="
"$build/bin/bench_crypt"
echo "== saving a 64 KiB entry that keeps its codes, against a load and a plain save =="
"$build/bin/bench_cp932" --benchmark_filter=SaveDayEntry
echo "== start-up against a bare Qt window =="
"$root/bench/startup/measure.sh" -b "$build"
