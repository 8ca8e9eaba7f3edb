#!/usr/bin/env bash
# Start-up latency of quillsnap-screencapture: time from starting the process
# to the first frame of its overlay, median over RUNS runs, beside two
# baselines measured in the same session:
#   window  - a trivial Qt program showing one window (bench_picker_baseline)
#   version - `quillsnap-screencapture --version` (exec and dynamic linking only)
# The picker and the baseline write the monotonic time of their first frame to
# QUILLSNAP_PICKER_READY_FILE; the start time is taken just before the spawn.
# It runs itself in a desktop session (bench/desktop_session.sh): a session bus
# matters, as without one Qt's accessibility bridge would autolaunch a bus on
# every start.
#   bench/picker/run.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build/ci}"
runs="${2:-20}"

source bench/desktop_session.sh
enter_desktop_session "$0" "$builddir" "$runs"

cmake --build "$builddir" --target quillsnap-screencapture bench_picker_baseline >/dev/null

exec python3 - "$builddir" "$runs" <<'PY'
import os, statistics, subprocess, sys, tempfile, time

builddir, runs = sys.argv[1], int(sys.argv[2])
picker = os.path.join(builddir, "bin/quillsnap-screencapture")
baseline = os.path.join(builddir, "bench/picker/bench_picker_baseline")
tmp = tempfile.mkdtemp()
ready = os.path.join(tmp, "ready")

def until_ready(cmd, extra_env=None, cancel=False):
    if os.path.exists(ready):
        os.remove(ready)
    env = dict(os.environ, QUILLSNAP_PICKER_READY_FILE=ready, **(extra_env or {}))
    start = time.monotonic_ns()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        try:
            with open(ready) as f:
                text = f.read().strip()
            if text:
                break
        except FileNotFoundError:
            pass
        time.sleep(0.0005)
    else:
        proc.kill()
        proc.wait()
        raise SystemExit(f"{cmd[0]} never showed its window")
    fields = text.split()
    if len(fields) > 1:
        cpu.setdefault(cmd[0], []).append(int(fields[1]) / 1e6)
    if cancel:
        subprocess.run(["xdotool", "key", "Escape"], check=True)
    status = proc.wait(timeout=5)
    if cancel and status != 1:
        raise SystemExit(f"picker exited with {status} after Escape")
    return (int(fields[0]) - start) / 1e6

def until_exit(cmd):
    start = time.monotonic_ns()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return (time.monotonic_ns() - start) / 1e6

cpu = {picker: []}
shot = os.path.join(tmp, "shot.png")
cases = {
    "picker -i (overlay on screen)": lambda: until_ready([picker, "-i", shot], cancel=True),
    "baseline: trivial Qt window": lambda: until_ready([baseline]),
    "baseline: picker --version": lambda: until_exit([picker, "--version"]),
    "picker -x (file written, exit)": lambda: until_exit([picker, "-x", shot]),
}
samples = {name: [] for name in cases}
for name, run in cases.items():  # one warm-up each: page cache, font cache
    run()
for _ in range(runs):  # interleaved, so load on the machine hits all alike
    for name, run in cases.items():
        samples[name].append(run())

print(f"{runs} runs, Xvfb 1280x800, {os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}")
print(f"{'case':34} {'median':>8} {'min':>8} {'max':>8}  (ms)")
for name, values in samples.items():
    print(f"{name:34} {statistics.median(values):8.1f} {min(values):8.1f} {max(values):8.1f}")
# Processor time of the picker until its overlay is up: what
# the start costs without the waiting for a busy machine's other work.
values = cpu[picker]
print(f"{'picker -i, CPU time until shown':34} {statistics.median(values):8.1f} {min(values):8.1f} {max(values):8.1f}")
PY
