#!/usr/bin/env bash
# End to end through the global key sequence: with the tray application
# running, Shift+Super+8 typed anywhere opens the region picker, and the text
# of the region lands on the clipboard.
#   hotkey_e2e.sh BINDIR
bindir="$1"
source "$(dirname "$0")/session.sh"

convert -size 760x120 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +24+70 "Hotkey order 4711 ready" "$root/known.png"
background display -geometry +100+100 "$root/known.png"
start_app
sleep 0.3

xdotool key super+shift+8
timeout 10 bash -c "$(declare -f wait_for_picker); wait_for_picker" || fail "Shift+Super+8 did not open the picker"
xdotool mousemove 104 104 mousedown 1 mousemove 400 150 mousemove 856 216 mouseup 1

expected="Hotkey order 4711 ready"
clip=""
for _ in $(seq 100); do
  clip="$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)"
  [ "$clip" = "$expected" ] && break
  sleep 0.1
done
[ "$clip" = "$expected" ] || fail "clipboard holds '$clip'"
echo "1 passed, 0 failed"
