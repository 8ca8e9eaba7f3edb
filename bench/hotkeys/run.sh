#!/usr/bin/env bash
# Latency from a key press to the region picker's overlay on screen, with the
# tray application running on an Xvfb desktop:
#   Shift+Super+8         - one chord, through the key grab
#   Super+K, Super+C      - two chords, through the observed key events
# measured from the moment the (last) key goes down through XTEST
# (bench_send_chord) to the overlay being shown (QUILLSNAP_PICKER_READY_FILE).
# Baseline in the same run, interleaved: the picker started directly.
# Then the cost per event of the key observation path (bench_hotkeys).
#   bench/hotkeys/run.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build/ci}"
runs="${2:-20}"

source bench/desktop_session.sh
enter_desktop_session "$0" "$builddir" "$runs"
export OMP_THREAD_LIMIT=1

cmake --build "$builddir" --target quillsnap quillsnap-screencapture bench_send_chord bench_hotkeys >/dev/null

python3 - "$builddir" "$runs" <<'PY'
import os, statistics, subprocess, sys, tempfile, time

builddir, runs = sys.argv[1], int(sys.argv[2])
app = os.path.join(builddir, "bin", "quillsnap")
picker = os.path.join(builddir, "bin", "quillsnap-screencapture")
send = os.path.join(builddir, "bench", "hotkeys", "bench_send_chord")
config = os.path.join(os.environ["XDG_CONFIG_HOME"], "quillsnap", "quillsnap.conf")
socket = os.path.join(os.environ["XDG_RUNTIME_DIR"], "quillsnap", "instance.sock")
tmp = tempfile.mkdtemp()
ready = os.path.join(tmp, "ready")
env = dict(os.environ, QUILLSNAP_PICKER_READY_FILE=ready)
DEVNULL = subprocess.DEVNULL

def ready_time(timeout=5):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open(ready) as f:
                fields = f.read().split()
            if fields:
                return int(fields[0])
        except FileNotFoundError:
            pass
        time.sleep(0.0005)
    raise SystemExit("the picker never showed its overlay")

def picker_gone():
    for _ in range(200):
        if subprocess.run(["xdotool", "search", "--name", "quillsnap region picker"],
                          stdout=DEVNULL, stderr=DEVNULL).returncode != 0:
            return
        time.sleep(0.01)
    raise SystemExit("the picker did not close")

def start_app(sequence):
    with open(config, "w") as f:
        f.write("[General]\nhasCompletedOnboarding=true\n")
        if sequence:
            f.write('hotkeySequence="%s"\n' % sequence.replace('"', '\\"'))
    if os.path.exists(socket):
        os.remove(socket)
    proc = subprocess.Popen([app], env=env, stdout=DEVNULL, stderr=DEVNULL)
    while not os.path.exists(socket):
        time.sleep(0.01)
    time.sleep(1.0)
    return proc

def by_keys(chords):
    if os.path.exists(ready):
        os.remove(ready)
    pressed = int(subprocess.run([send] + chords, capture_output=True, text=True, check=True).stdout)
    shown = ready_time()
    subprocess.run(["xdotool", "key", "Escape"], check=True)
    picker_gone()
    return (shown - pressed) / 1e6

def direct():
    if os.path.exists(ready):
        os.remove(ready)
    start = time.monotonic_ns()
    p = subprocess.Popen([picker, "-i", os.path.join(tmp, "shot.png")], env=env, stdout=DEVNULL, stderr=DEVNULL)
    shown = ready_time()
    subprocess.run(["xdotool", "key", "Escape"], check=True)
    p.wait()
    return (shown - start) / 1e6

cases = [
    ("Shift+Super+8 to overlay (key grab)", None, ["super+shift+8"]),
    ("Super+K, Super+C to overlay (observed)",
     '{"presses": [{"keyCode": 40, "modifiers": 256}, {"keyCode": 8, "modifiers": 256}], "maxTimeBetweenKeys": 0.5}',
     ["super+k", "super+c"]),
]
rows = []
for name, sequence, chords in cases:
    proc = start_app(sequence)
    by_keys(chords)  # warm-up: page cache, fonts
    direct()
    keyed, baseline = [], []
    for _ in range(runs):  # interleaved, so load on the machine hits both alike
        keyed.append(by_keys(chords))
        baseline.append(direct())
    proc.terminate()
    proc.wait()
    rows.append((name, keyed))
    rows.append(("  baseline: picker started directly", baseline))

print(f"{runs} runs, Xvfb 1280x800, {os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}")
print(f"{'case':42} {'median':>8} {'min':>8} {'max':>8}  (ms)")
for name, values in rows:
    print(f"{name:42} {statistics.median(values):8.1f} {min(values):8.1f} {max(values):8.1f}")
PY
echo
"$builddir/bench/hotkeys/bench_hotkeys"
