#!/usr/bin/env bash
# End to end: the tray application reads a QR code shown on screen. Checks the
# clipboard, the desktop notification (observed on the session bus), and that
# a scan leaves the history alone.
#   scan_e2e.sh BINDIR MAKE_QR
bindir="$1"
make_qr="$2"
source "$(dirname "$0")/session.sh"

payload="https://example.org/quillsnap?scan=1&lang=de"
"$make_qr" "$payload" "$root/qr.png" || fail "cannot write the QR image"
background display -geometry +200+150 "$root/qr.png"
dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" >"$root/bus.log" 2>&1 &
pids+=($!)
start_app

"$bindir/quillsnap-cli" scan || fail "quillsnap-cli scan"
wait_for_picker
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
