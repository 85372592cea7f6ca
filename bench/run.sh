#!/usr/bin/env bash
# Runs every benchmark on an optimised build and prints each one's figures
# against its floor, measured in the same run:
#   day step       (median)            target: < 1 ms on a memory file system
#                  (the program's own work); on the disk it is shown as well,
#                  where its four syncs (the entry, the version it replaces,
#                  and their folders) cost what the disk asks
#   date pattern   vs strftime         target: ratio <= 1.0
#   container      vs cp + sync        target: ratio <= 1.5
#   saving a 64 KiB entry that keeps its codes
#                  vs a load and a plain save       target: ratio <= 2 (one typed character)
#   start-up       vs a bare Qt window target: time ratio <= 1.3, memory ratio <= 1.25
#   search         on a 30-year test diary (bench_search, search_vs_grep.sh):
#                  load <= 400 ms, query <= 10 ms, every year <= 5 ms,
#                  month marks <= 1 ms, folded copy <= 3 x text,
#                  kuvandoro-cli search vs grep -rlF ratio <= 3
#   statistics     on the same diary (bench_stats, tool_vs_floors.sh):
#                  first heatmap <= 50 ms, from the text <= 1 x the search load,
#                  kuvandoro-cli stats vs kuvandoro-cli search ratio <= 1.5,
#                  kuvandoro-cli search vs rg -l -E shift_jis -F on 100 years ratio <= 1.0
#   drafts and history (bench_keeping): draft write of 4 KiB < 1 ms (beside a
#                  synced work-file write), history of a 30-year diary with 20
#                  edits a day for the last year <= 1.5 x the diary on disk,
#                  one day's versions < 10 ms (listing, and the tool beside
#                  its --version)
#   print preview  of 1,000 days: after three more, <= 1.05 x the memory the
#                  first left once closed (bench_print_memory)
#   strong lock    unlock at the default work <= 1.5 s; a 30-year load sealed
#                  vs plain ratio <= 1.5; day step (BM_DayStepStrong) < 1 ms
# usage: bench/run.sh [BUILD_DIR]   (default: build, as ./test.sh leaves it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_day_step bench_date_pattern bench_crypt bench_cp932 kuvandoro kuv_bare_window >/dev/null
ninja -C "$build" bench_search bench_stats kuv_make_diary kuvandoro-cli bench_strong_lock >/dev/null

echo "== one day step in the core, on a memory file system =="
TMPDIR=/dev/shm "$build/bin/bench_day_step"
echo "== one day step in the core, on the disk (${TMPDIR:-/tmp}) =="
"$build/bin/bench_day_step"
echo "== FormatDatePattern against strftime =="
"$build/bin/bench_date_pattern"
echo "== container against cp + sync =="
"$build/bin/bench_crypt"
echo "== saving a 64 KiB entry that keeps its codes, against a load and a plain save =="
"$build/bin/bench_cp932" --benchmark_filter=SaveDayEntry
echo "== start-up against a bare Qt window =="
"$root/bench/startup/measure.sh" -b "$build"

echo "== the strong lock: unlock, and a 30-year load sealed against plain =="
"$build/bin/bench_strong_lock"
echo "== search on a 30-year test diary =="
diary_dir=$(mktemp -d /tmp/kuv-bench-diary-XXXXXX)
trap 'rm -rf "$diary_dir"' EXIT
"$build/bin/kuv_make_diary" --out "$diary_dir/diary"
KUV_BENCH_DIARY="$diary_dir/diary" "$build/bin/bench_search"
"$root/bench/search_vs_grep.sh" -b "$build" -d "$diary_dir/diary"

echo "== statistics on the same diary, and the tool's search against rg on 100 years =="
"$build/bin/bench_stats" --diary="$diary_dir/diary"
"$root/bench/tool_vs_floors.sh" -b "$build" -d "$diary_dir/diary"

# Export, backup and restore of a 30-year test diary (bench_export,
# bench_backup): HTML <= 1 s, Markdown and text <= 0.5 s, PDF of one year
# <= 10 s, backup <= 1.5 x tar czf, restore <= 2 x tar xzf of the same
# folders, on the same generated diary.
echo "== export, backup and restore of a 30-year test diary =="
ninja -C "$build" bench_export bench_backup >/dev/null
"$build/bin/bench_export" --diary="$diary_dir/diary"
"$build/bin/bench_backup" --diary="$diary_dir/diary"

echo "== the memory of a print preview of 1,000 days, kept after it closes =="
ninja -C "$build" bench_print_memory >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/bench_print_memory"

echo "== drafts and earlier versions =="
ninja -C "$build" bench_keeping kuvandoro-cli >/dev/null
"$build/bin/bench_keeping"
