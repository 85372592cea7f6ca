#!/usr/bin/env bash
# Start-up time and resident memory of the diary against a bare Qt window.
#
#   bench/startup/measure.sh [-n RUNS] [-b BUILD_DIR]
#
# Each program runs RUNS times (alternating, each from a fresh temporary
# program folder) under QT_QPA_PLATFORM=offscreen unless the variable is set
# already. Start-up is the time from just before the process is started to the
# "shown <ns>" line (CLOCK_MONOTONIC) that the program prints on stderr when
# its main window is first exposed (KUV_REPORT_SHOWN=1); memory is VmRSS two
# seconds after that. The medians and their ratios are printed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
runs=5
build="$root/build"
while getopts "n:b:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-n RUNS] [-b BUILD_DIR]" >&2; exit 2 ;;
  esac
done

diary="$build/bin/kuvandoro"
bare="$build/bin/kuv_bare_window"
for f in "$diary" "$bare"; do
  [[ -x $f ]] || { echo "measure.sh: $f is missing; build kuvandoro and kuv_bare_window" >&2; exit 2; }
done

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec python3 - "$runs" "$diary" "$bare" "$build/bin/kuvandoro-fonts.conf" <<'PY'
import os, shutil, signal, statistics, subprocess, sys, tempfile, time

runs = int(sys.argv[1])
programs = {"kuvandoro": sys.argv[2], "bare window": sys.argv[3]}
fonts_conf = sys.argv[4]


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def run_once(name, exe):
    with tempfile.TemporaryDirectory(prefix="kuv-bench-") as folder:
        # A program folder of its own: the diary keeps its data beside itself.
        target = os.path.join(folder, os.path.basename(exe))
        shutil.copy2(exe, target)
        if name == "kuvandoro" and os.path.exists(fonts_conf):
            shutil.copy2(fonts_conf, folder)
        env = dict(os.environ, KUV_REPORT_SHOWN="1")
        t0 = time.monotonic_ns()
        proc = subprocess.Popen([target], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        shown = None
        deadline = time.monotonic() + 60
        try:
            for line in proc.stderr:
                if line.startswith("shown "):
                    shown = int(line.split()[1])
                    break
                if time.monotonic() > deadline:
                    break
            if shown is None:
                raise RuntimeError(f"{name} never reported its window shown")
            time.sleep(2.0)
            rss = rss_kib(proc.pid)
        finally:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        return (shown - t0) / 1e6, rss


results = {name: ([], []) for name in programs}
for i in range(runs):
    order = list(programs.items())
    if i % 2:
        order.reverse()
    for name, exe in order:
        ms, rss = run_once(name, exe)
        results[name][0].append(ms)
        results[name][1].append(rss)

print(f"platform: {os.environ.get('QT_QPA_PLATFORM')}, runs: {runs} each (medians)")
for name, (times, rss) in results.items():
    print(f"{name:12s} start-up {statistics.median(times):8.1f} ms   "
          f"memory {statistics.median(rss) / 1024:7.1f} MiB   "
          f"(start-up {min(times):.1f}-{max(times):.1f} ms)")
t_ratio = statistics.median(results["kuvandoro"][0]) / statistics.median(results["bare window"][0])
m_ratio = statistics.median(results["kuvandoro"][1]) / statistics.median(results["bare window"][1])
print(f"ratio start-up {t_ratio:.2f} {'ok' if t_ratio <= 1.3 else 'OVER'}")
print(f"ratio memory   {m_ratio:.2f} {'ok' if m_ratio <= 1.3 else 'OVER'}")
print("targets: start-up <= 1.3, memory <= 1.3")
PY
