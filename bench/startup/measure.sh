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
#
# A program that does not print the line (an older build) is measured on a
# private X server instead (needs Xvfb and xdotool): its start-up then ends
# when its window is first seen mapped, polled every few milliseconds, and
# the bare window is measured the same way in the same run.
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


def report_line(proc, deadline):
    """The "shown <ns>" line, or None when the program does not print one."""
    import selectors
    sel = selectors.DefaultSelector()
    sel.register(proc.stderr, selectors.EVENT_READ)
    buffer = b""
    while time.monotonic() < deadline:
        if not sel.select(timeout=0.1):
            continue
        chunk = os.read(proc.stderr.fileno(), 4096)
        if not chunk:
            return None
        buffer += chunk
        for line in buffer.split(b"\n")[:-1]:
            if line.startswith(b"shown "):
                return int(line.split()[1])
    return None


def mapped_time(proc, deadline):
    """CLOCK_MONOTONIC when a visible window of the process is first found."""
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if found.stdout.strip():
            return time.monotonic_ns()
        time.sleep(0.002)
    return None


def run_once(name, exe, mode):
    with tempfile.TemporaryDirectory(prefix="kuv-bench-") as folder:
        # A program folder of its own: the diary keeps its data beside itself.
        target = os.path.join(folder, os.path.basename(exe))
        shutil.copy2(exe, target)
        if name == "kuvandoro" and os.path.exists(fonts_conf):
            shutil.copy2(fonts_conf, folder)
        env = dict(os.environ, KUV_REPORT_SHOWN="1")
        t0 = time.monotonic_ns()
        proc = subprocess.Popen([target], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + (10 if mode == "probe" else 60)
        try:
            shown = mapped_time(proc, deadline) if mode == "x11" else report_line(proc, deadline)
            if shown is None:
                if mode == "probe":
                    return None
                proc.terminate()
                raise RuntimeError(f"{name} never showed its window: "
                                   + proc.stderr.read().decode(errors="replace")[-2000:])
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


def start_xvfb():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    # The server writes the number and then a newline; closing the pipe
    # before the newline arrives would make it fail.
    display = b""
    while not display.endswith(b"\n"):
        chunk = os.read(read, 64)
        if not chunk:
            break
        display += chunk
    os.close(read)
    display = display.decode().strip()
    # Wait until the server answers a client before the first program starts.
    for _ in range(100):
        if display and subprocess.run(["xdotool", "getdisplaygeometry"],
                                      env=dict(os.environ, DISPLAY=":" + display),
                                      stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL).returncode == 0:
            return server, ":" + display
        time.sleep(0.05)
    server.terminate()
    sys.exit("measure.sh: Xvfb did not start")


server = None
os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
mode = "hook"
results = {name: ([], []) for name in programs}
try:
    if run_once("kuvandoro", programs["kuvandoro"], "probe") is None:
        mode = "x11"
        if not (shutil.which("Xvfb") and shutil.which("xdotool")):
            sys.exit("measure.sh: kuvandoro prints no \"shown\" line; Xvfb and xdotool are needed")
        server, display = start_xvfb()
        os.environ["DISPLAY"] = display
        os.environ["QT_QPA_PLATFORM"] = "xcb"
        for name, exe in programs.items():  # warm the caches as the probe did
            run_once(name, exe, mode)
    for i in range(runs):
        order = list(programs.items())
        if i % 2:
            order.reverse()
        for name, exe in order:
            ms, rss = run_once(name, exe, mode)
            results[name][0].append(ms)
            results[name][1].append(rss)
finally:
    if server is not None:
        server.terminate()
        server.wait()

how = "the programs' own report" if mode == "hook" else "the window seen mapped (polled)"
print(f"platform: {os.environ.get('QT_QPA_PLATFORM')}, shown by {how}, runs: {runs} each (medians)")
for name, (times, rss) in results.items():
    print(f"{name:12s} start-up {statistics.median(times):8.1f} ms   "
          f"memory {statistics.median(rss) / 1024:7.1f} MiB   "
          f"(start-up {min(times):.1f}-{max(times):.1f} ms)")
t_ratio = statistics.median(results["kuvandoro"][0]) / statistics.median(results["bare window"][0])
m_ratio = statistics.median(results["kuvandoro"][1]) / statistics.median(results["bare window"][1])
print(f"ratio start-up {t_ratio:.2f} {'ok' if t_ratio <= 1.3 else 'OVER'}")
print(f"ratio memory   {m_ratio:.2f} {'ok' if m_ratio <= 1.25 else 'OVER'}")
print("targets: start-up <= 1.3, memory <= 1.25")
PY
