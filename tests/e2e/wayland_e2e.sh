#!/usr/bin/env bash
# End to end on Wayland: headless sway shows known text and a QR code on one
# output and more text on a second output at scale 1.5; the
# tray application runs on Qt's wayland platform; quillsnap-cli asks it for
# regions of the desktop; wl-paste (an outside client) reads the clipboard,
# also after the application has gone. The picker's overlay covers the
# output, and Escape closes it without touching the clipboard.
#   wayland_e2e.sh BINDIR MAKE_QR
bindir="$1"
make_qr="$2"
source "$(dirname "$0")/session.sh"
source "$(dirname "$0")/wayland_session.sh"

"$make_qr" "https://quillsnap.org/wayland" "$root/qr.png" || fail "cannot write the QR image"
convert -size 1280x720 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +40+80 "Invoice 2026 shipped to Berlin" \
  -annotate +40+150 "Total amount due: 1,250 EUR" \
  "$root/qr.png" -geometry +900+300 -composite "$root/screen.png"
convert -size 1280x720 xc:white -font DejaVu-Sans -pointsize 32 -fill black \
  -annotate +40+90 "Second output at one and a half" "$root/second.png"
start_wayland "$root/screen.png"
# A second output to the right at a fractional scale: 1280x720 pixels, about
# 853x480 logical pixels, showing its image stretched over all of them.
cp "$root/second.png" "$root/sway-files/" && chmod 644 "$root/sway-files/second.png"
swaymsg create_output >/dev/null
swaymsg output HEADLESS-2 resolution 1280x720 position 1280 0 scale 1.5 \
  background "$root/sway-files/second.png" stretch >/dev/null || fail "no second output"
start_app

paste_equals() {
  local expected="$1" clip=""
  for _ in $(seq 100); do
    clip="$(timeout 5 wl-paste --no-newline 2>/dev/null || true)"
    [ "$clip" = "$expected" ] && return 0
    sleep 0.1
  done
  fail "wl-paste reads '$clip', expected '$expected'"
}

"$bindir/quillsnap-cli" capture --region 20,30,760,160 || fail "quillsnap-cli capture --region"
paste_equals "Invoice 2026 shipped to Berlin Total amount due: 1,250 EUR"

# Logical coordinates on the 1.5x output, left of where notifications show,
# with the descenders inside.
"$bindir/quillsnap-cli" capture --region 1290,10,500,100 || fail "capture --region, second output"
paste_equals "Second output at one and a half"

"$bindir/quillsnap-cli" scan --region 880,280,300,300 || fail "quillsnap-cli scan --region"
paste_equals "https://quillsnap.org/wayland"

# The picker: its overlay covers the output with the frozen, dimmed screen;
# Escape cancels and the clipboard keeps what it had.
"$bindir/quillsnap-cli" capture || fail "quillsnap-cli capture"
# The tree is read whole first: grep -q stopping early would fail the pipe.
picker_shown() { grep -q '"name": "quillsnap region picker"' <<<"$(swaymsg -t get_tree 2>/dev/null)"; }
for _ in $(seq 150); do
  picker_shown && break
  sleep 0.1
done
picker_shown || fail "no picker window"
sleep 0.3
grim "$root/overlay.png"
[ -n "${QUILLSNAP_E2E_KEEP:-}" ] && cp "$root/overlay.png" "$QUILLSNAP_E2E_KEEP"
# Dimmed white is grey: the overlays cover both outputs.
for point in 5,5 1275,715 640,360 2500,600; do
  colour="$(convert "$root/overlay.png" -format "%[pixel:p{$point}]" info:)"
  case "$colour" in
    "srgb(255,255,255)" | white) fail "overlay does not cover $point ($colour)" ;;
  esac
done
# A virtual keyboard that lives a moment before its key: clients bind a
# keyboard only once the seat has one.
wtype -s 300 -k Escape
for _ in $(seq 50); do
  picker_shown || break
  sleep 0.1
done
picker_shown && fail "Escape left the picker open"
paste_equals "https://quillsnap.org/wayland"

# The text outlives the application and its windows.
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
paste_equals "https://quillsnap.org/wayland"
echo "wayland e2e: ok"
