#!/usr/bin/env bash
# Runs every benchmark on an optimised build and prints each one's figures
# against its floor, measured in the same run:
#   day step       (median)            target: < 1 ms
#   date pattern   vs strftime         target: ratio <= 1.0
#   container      vs cp + sync        target: ratio <= 1.5
#   start-up       vs a bare Qt window target: time and memory ratios <= 1.3
# usage: bench/run.sh [BUILD_DIR]   (default: build, as ./test.sh leaves it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_day_step bench_date_pattern bench_crypt kuvandoro kuv_bare_window >/dev/null

echo "== one day step in the core =="
"$build/bin/bench_day_step"
echo "== FormatDatePattern against strftime =="
"$build/bin/bench_date_pattern"
echo "== container against cp + sync =="
"$build/bin/bench_crypt"
echo "== start-up against a bare Qt window =="
"$root/bench/startup/measure.sh" -b "$build"

# Export, backup and restore of a 30-year test diary (bench_export,
# bench_backup): HTML <= 1 s, Markdown and text <= 0.5 s, PDF of one year
# <= 10 s, backup <= 1.5 x tar czf, restore <= 2 x tar xzf of the same
# folders. KUV_BENCH_DIARY names a diary folder to use instead of a fresh one.
echo "== export, backup and restore of a 30-year test diary =="
ninja -C "$build" bench_export bench_backup >/dev/null
carry_diary=${KUV_BENCH_DIARY:-}
carry_dir=""
if [ -z "$carry_diary" ]; then
  ninja -C "$build" kuv_make_diary >/dev/null
  carry_dir=$(mktemp -d /tmp/kuv-bench-carry-XXXXXX)
  carry_diary="$carry_dir/diary"
  "$build/bin/kuv_make_diary" --out "$carry_diary"
fi
"$build/bin/bench_export" --diary="$carry_diary"
"$build/bin/bench_backup" --diary="$carry_diary"
if [ -n "$carry_dir" ]; then rm -rf "$carry_dir"; fi
