#!/usr/bin/env bash
# End to end through the global key sequence, as on a desktop where another
# program holds Shift+Super+8 when quillsnap starts: a notification says so
# (once), the program lets go, and after the next window activation the key
# opens the picker and the text lands on the clipboard. Num Lock on changes
# nothing. A stored two-chord sequence fires when typed in time, not when its
# chords are 1.2 s apart.
#   hotkey_e2e.sh BINDIR X11_CLIENT
bindir="$1"
x11_client="$2"
source "$(dirname "$0")/session.sh"

picker_shown() { xdotool search --name "quillsnap region picker" >/dev/null 2>&1; }
# Waits up to $1 tenths of a second for the picker; true when it came.
picker_within() {
  for _ in $(seq "$1"); do
    picker_shown && { sleep 0.2; return 0; }
    sleep 0.1
  done
  return 1
}
close_picker() {
  xdotool key Escape
  for _ in $(seq 50); do picker_shown || return 0; sleep 0.1; done
  fail "the picker stayed after Escape"
}
told() { grep -c "$1" "$root/bus.log" || true; }

convert -size 760x120 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +24+70 "Hotkey order 4711 ready" "$root/known.png"
background display -geometry +100+100 "$root/known.png"
dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" >"$root/bus.log" 2>&1 &
pids+=($!)

# Another program holds Shift+Super+8: Shift (0x1) and Mod4 (0x40) on the key
# "8" (X keycode 17).
"$x11_client" hold 17 0x41 >"$root/holder.out" &
holder=$!
pids+=($holder)
for _ in $(seq 50); do grep -q held "$root/holder.out" && break; sleep 0.1; done
grep -q held "$root/holder.out" || fail "the other program could not grab the key"
start_app

taken="Shift+Super+8 is taken by another program. Choose another sequence in Settings."
for _ in $(seq 50); do [ "$(told "$taken")" = 1 ] && break; sleep 0.1; done
[ "$(told "$taken")" = 1 ] || fail "no notification about the taken key"
# Tried again at an activation while still held: not told again.
"$x11_client" activate
sleep 0.5
[ "$(told "$taken")" = 1 ] || fail "told more than once"
xdotool key super+shift+8
picker_within 10 && fail "the picker opened for a key another program holds"

# The other program lets go; the next activation registers the key.
kill "$holder"
wait "$holder" 2>/dev/null || true
"$x11_client" activate
sleep 0.5
xdotool key super+shift+8
picker_within 50 || fail "Shift+Super+8 did not open the picker"
xdotool mousemove 104 104 mousedown 1 mousemove 400 150 mousemove 856 216 mouseup 1
expected="Hotkey order 4711 ready"
clip=""
for _ in $(seq 100); do
  clip="$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)"
  [ "$clip" = "$expected" ] && break
  sleep 0.1
done
[ "$clip" = "$expected" ] || fail "clipboard holds '$clip'"

# Num Lock on.
xdotool key Num_Lock
xdotool key super+shift+8
picker_within 50 || fail "Shift+Super+8 with Num Lock on did not open the picker"
close_picker
xdotool key Num_Lock

# A stored sequence of two chords, Super+K then Super+C.
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
rm -f "$root/runtime/quillsnap/instance.sock"
cat >"$root/config/quillsnap/quillsnap.conf" <<'CONF'
[General]
hasCompletedOnboarding=true
hotkeySequence="{\"presses\": [{\"keyCode\": 40, \"modifiers\": 256}, {\"keyCode\": 8, \"modifiers\": 256}], \"maxTimeBetweenKeys\": 0.5}"
CONF
start_app
sleep 0.5
xdotool key super+k sleep 1.2 key super+c
picker_within 15 && fail "chords 1.2 s apart opened the picker"
xdotool key super+k key super+c
picker_within 50 || fail "Super+K then Super+C did not open the picker"
close_picker
[ "$(told "is taken by another program")" = 1 ] || fail "unexpected notifications"

echo "1 passed, 0 failed"
