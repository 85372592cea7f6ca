#!/usr/bin/env bash
# The companion tool's search as a whole process against LC_ALL=C grep -rlF
# over the same files, in one run: each term is searched RUNS times by both,
# alternating, with the file cache warm. The medians of the wall-clock time
# and of the processor time (user + system) are printed with their ratios.
# target: ratio <= 3
#
#   bench/search_vs_grep.sh [-n RUNS] [-b BUILD_DIR] [-d DIARY]
#
# Without -d (or KUV_BENCH_DIARY) a test diary is written by kuv_make_diary to
# a scratch folder and removed at the end; a given one must use the generator's
# password "kuvandoro".
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=9
build="$root/build"
diary=${KUV_BENCH_DIARY:-}
while getopts "n:b:d:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    d) diary=$OPTARG ;;
    *) echo "usage: $0 [-n RUNS] [-b BUILD_DIR] [-d DIARY]" >&2; exit 2 ;;
  esac
done

cli="$build/bin/kuvandoro-cli"
maker="$build/bin/kuv_make_diary"
for f in "$cli" "$maker"; do
  [[ -x $f ]] || { echo "search_vs_grep.sh: $f is missing; build kuvandoro-cli and kuv_make_diary" >&2; exit 2; }
done

scratch=""
if [[ -z $diary ]]; then
  scratch=$(mktemp -d /tmp/kuv-search-grep-XXXXXX)
  trap 'rm -rf "$scratch"' EXIT
  diary="$scratch/diary"
  "$maker" --out "$diary" >/dev/null
fi

python3 - "$runs" "$cli" "$diary" <<'PY'
import os, resource, statistics, subprocess, sys, time

runs, cli, diary = int(sys.argv[1]), sys.argv[2], sys.argv[3]
# A common word, a rare one, kana that the tool folds, and ASCII.
terms = ["東京", "雨花", "ねこ", "todo"]


def timed(argv, ok):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    rc = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if rc not in ok:
        sys.exit(f"search_vs_grep.sh: {argv[0]} exited with {rc}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


env = dict(os.environ, LC_ALL="C")
os.environ.update(env)
# Warm the file cache.
subprocess.run(["grep", "-rlF", "x", diary], stdout=subprocess.DEVNULL)
print(f"kuvandoro-cli search against LC_ALL=C grep -rlF, {runs} runs each, {diary}:")
worst = 0.0
for term in terms:
    raw = term.encode("cp932")
    tool, grep = [], []
    for _ in range(runs):
        tool.append(timed([cli, "search", "--data", diary, "--password", "kuvandoro", term], (0, 1)))
        grep.append(timed([b"grep", b"-rlF", b"--", raw, diary.encode()], (0, 1)))
    tw = statistics.median(t[0] for t in tool)
    tc = statistics.median(t[1] for t in tool)
    gw = statistics.median(g[0] for g in grep)
    gc = statistics.median(g[1] for g in grep)
    worst = max(worst, tw / gw)
    print(f"  {term:6s} tool {tw*1e3:8.1f} ms (cpu {tc*1e3:7.1f})   grep {gw*1e3:8.1f} ms "
          f"(cpu {gc*1e3:7.1f})   ratio {tw/gw:5.2f} (cpu {tc/gc if gc else 0:5.2f})")
print(f"  worst wall-clock ratio {worst:.2f}   target: <= 3")
PY
