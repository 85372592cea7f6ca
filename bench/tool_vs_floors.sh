#!/usr/bin/env bash
# The companion tool's statistics and search as whole processes, each against
# a floor run alternately with it in the same run, the file cache warm; the
# medians of the wall-clock time and of the processor time (user + system)
# are printed with their ratios:
#   kuvandoro-cli stats   vs kuvandoro-cli search, 30-year diary   target: ratio <= 1.5
#   kuvandoro-cli search  vs rg -l -E shift_jis -F, 100-year diary target: ratio <= 1.0
#
#   bench/tool_vs_floors.sh [-n RUNS] [-b BUILD_DIR] [-d DIARY_30] [-D DIARY_100]
#
# Diaries not given are written by kuv_make_diary to a scratch folder and
# removed at the end; given ones must use the generator's password
# "kuvandoro".
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=7
build="$root/build"
diary30=""
diary100=""
while getopts "n:b:d:D:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    d) diary30=$OPTARG ;;
    D) diary100=$OPTARG ;;
    *) echo "usage: $0 [-n RUNS] [-b BUILD_DIR] [-d DIARY_30] [-D DIARY_100]" >&2; exit 2 ;;
  esac
done

cli="$build/bin/kuvandoro-cli"
maker="$build/bin/kuv_make_diary"
for f in "$cli" "$maker"; do
  [[ -x $f ]] || { echo "tool_vs_floors.sh: $f is missing; build kuvandoro-cli and kuv_make_diary" >&2; exit 2; }
done
command -v rg >/dev/null || { echo "tool_vs_floors.sh: rg is missing (scripts/install-deps.sh test)" >&2; exit 2; }

scratch=$(mktemp -d /tmp/kuv-tool-floors-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
if [[ -z $diary30 ]]; then
  diary30="$scratch/diary30"
  "$maker" --out "$diary30" >/dev/null
fi
if [[ -z $diary100 ]]; then
  diary100="$scratch/diary100"
  "$maker" --years 100 --first-year 1925 --out "$diary100" >/dev/null
fi

python3 - "$runs" "$cli" "$diary30" "$diary100" <<'PY'
import resource, statistics, subprocess, sys, time

runs, cli, diary30, diary100 = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
password = ["--password", "kuvandoro"]


def timed(argv):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    rc = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if rc not in (0, 1):
        sys.exit(f"tool_vs_floors.sh: {argv[0]} exited with {rc}")
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def compare(what, argv, floor_name, floor, target):
    timed(floor)  # warms the file cache
    mine, base = [], []
    for _ in range(runs):
        mine.append(timed(argv))
        base.append(timed(floor))
    mw, mc = (statistics.median(t[i] for t in mine) for i in (0, 1))
    bw, bc = (statistics.median(t[i] for t in base) for i in (0, 1))
    print(f"  {what:28s} {mw*1e3:8.1f} ms (cpu {mc*1e3:7.1f})   {floor_name} {bw*1e3:8.1f} ms "
          f"(cpu {bc*1e3:7.1f})   ratio {mw/bw:5.2f} (cpu {mc/bc if bc else 0:5.2f})   "
          f"target: <= {target}")


print(f"medians of {runs} runs each:")
compare("stats, 30 years", [cli, "stats", "--data", diary30] + password, "search",
        [cli, "search", "--data", diary30] + password + ["東京"], "1.5")
for term in ["東京", "雨花", "todo"]:
    compare(f"search {term}, 100 years", [cli, "search", "--data", diary100] + password + [term],
            "rg", ["rg", "-l", "-E", "shift_jis", "-F", "--", term, diary100], "1.0")
PY
