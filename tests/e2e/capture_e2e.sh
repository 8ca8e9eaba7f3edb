#!/usr/bin/env bash
# End to end, as a person would: start the tray application on the test X
# server, show a window with known text, ask for a capture from the command
# line, drag the region with xdotool, then check the clipboard, the toast and
# the stored history.
#   capture_e2e.sh BINDIR
bindir="$1"
source "$(dirname "$0")/session.sh"

# A window showing known text at a known place (no window manager: the
# geometry is taken as given).
convert -size 760x200 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +24+70 "Invoice 2026 shipped to Berlin" \
  -annotate +24+140 "Total amount due: 1,250 EUR" "$root/known.png"
background display -geometry +100+100 "$root/known.png"
start_app

# A second start hands over to the first, which shows its settings, and exits.
"$bindir/quillsnap" >/dev/null 2>&1 || fail "second start failed"
kill -0 "$app_pid" || fail "first instance went away"
timeout 10 xdotool search --sync --onlyvisible --name '^Settings$' windowfocus --sync >/dev/null ||
  fail "a second start showed no settings window"
xdotool key Escape
for _ in $(seq 30); do
  xdotool search --onlyvisible --name '^Settings$' >/dev/null || break
  sleep 0.1
done

"$bindir/quillsnap-cli" capture || fail "quillsnap-cli capture"
wait_for_picker
xdotool mousemove 104 104 mousedown 1 mousemove 400 200 mousemove 856 296 mouseup 1

# The two lines form one paragraph after clean-up (no sentence end between them).
expected="Invoice 2026 shipped to Berlin Total amount due: 1,250 EUR"
clip=""
for _ in $(seq 100); do
  clip="$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)"
  [ "$clip" = "$expected" ] && break
  sleep 0.1
done
[ "$clip" = "$expected" ] || fail "clipboard holds '$clip'"

# The confirmation toast shows (it follows the clipboard write), then goes
# away by itself.
shown=""
for _ in $(seq 30); do
  if xdotool search --onlyvisible --name "quillsnap: Copied to Clipboard" >/dev/null; then
    shown=1
    break
  fi
  sleep 0.1
done
[ -n "$shown" ] || fail "no toast on screen"
for _ in $(seq 60); do
  xdotool search --onlyvisible --name "quillsnap: Copied to Clipboard" >/dev/null || break
  sleep 0.1
done
if xdotool search --onlyvisible --name "quillsnap: Copied to Clipboard" >/dev/null; then
  fail "toast still on screen after 6 s"
fi

# The capture is in the stored, encrypted history.
history="$("$bindir/quillsnap-cli" history list)"
echo "$history" | grep -q "Invoice 2026 shipped to Berlin" || fail "history list: '$history'"
[ "$(stat -c %a "$root/data/quillsnap/captureHistoryEncrypted")" = 600 ] || fail "history file mode"
if grep -q "Invoice" "$root/data/quillsnap/captureHistoryEncrypted"; then
  fail "history stored in clear"
fi
grep -q "Invoice" "$root/app.log" && fail "captured text written to the log"

# Escape in the picker: nothing changes, no alert.
"$bindir/quillsnap-cli" capture
wait_for_picker
xdotool key Escape
sleep 0.5
[ "$(timeout 2 xclip -o -selection clipboard)" = "$expected" ] || fail "cancel changed the clipboard"
[ "$("$bindir/quillsnap-cli" history list | wc -l)" = 1 ] || fail "cancel added a record"

echo "1 passed, 0 failed"
