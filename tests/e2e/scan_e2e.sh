#!/usr/bin/env bash
# End to end: the tray application reads a QR code shown on screen. Checks the
# clipboard, the desktop notification (observed on the session bus), and that
# a scan leaves the history alone.
#   scan_e2e.sh BINDIR MAKE_QR
set -euo pipefail
bindir="$1"
make_qr="$2"
root="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$root/app.log" ] && sed 's/^/  app: /' "$root/app.log" >&2; exit 1; }

mkdir -p "$root"/{home,config/quillsnap,data,runtime}
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_RUNTIME_DIR="$root/runtime"
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=xcb
printf '[General]\nhasCompletedOnboarding=true\n' > "$root/config/quillsnap/quillsnap.conf"

payload="https://example.org/quillsnap?scan=1&lang=de"
"$make_qr" "$payload" "$root/qr.png" || fail "cannot write the QR image"
display -geometry +200+150 "$root/qr.png" &
pids+=($!)

dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" >"$root/bus.log" 2>&1 &
pids+=($!)

"$bindir/quillsnap" >"$root/app.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -S "$root/runtime/quillsnap/instance.sock" ] && break
  sleep 0.05
done
[ -S "$root/runtime/quillsnap/instance.sock" ] || fail "quillsnap did not start"

"$bindir/quillsnap-cli" scan || fail "quillsnap-cli scan"
xdotool search --sync --name "quillsnap region picker" >/dev/null
sleep 0.2
# The QR image is 288 px square at (200,150); take it with a margin.
xdotool mousemove 180 130 mousedown 1 mousemove 300 300 mousemove 510 460 mouseup 1

clip=""
for _ in $(seq 100); do
  clip="$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)"
  [ "$clip" = "$payload" ] && break
  sleep 0.1
done
[ "$clip" = "$payload" ] || fail "clipboard holds '$clip'"

for _ in $(seq 50); do
  grep -q "QR/Barcode Scanned" "$root/bus.log" && break
  sleep 0.1
done
grep -q 'string "QR/Barcode Scanned"' "$root/bus.log" || fail "no notification on the bus"
# The body is the payload's first 50 characters (it has 45), escaped or not.
grep -q "example.org/quillsnap?scan=1" "$root/bus.log" || fail "notification body"

# A scan is not a capture: no history record.
[ -z "$("$bindir/quillsnap-cli" history list)" ] || fail "a scan was recorded in the history"

echo "1 passed, 0 failed"
