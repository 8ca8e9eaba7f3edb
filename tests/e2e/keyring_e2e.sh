#!/usr/bin/env bash
# End to end with a locked desktop keyring, as after a login that did not
# unlock it: the keyring shows its unlock prompt and waits. A capture still
# reaches the clipboard at once, the application keeps answering, nothing is
# written in clear, and once the user unlocks the keyring in its own prompt
# the waiting capture is saved encrypted.
#   keyring_e2e.sh BINDIR
bindir="$1"
if [ -z "${QUILLSNAP_KEYRING_BUS:-}" ]; then
  # A session bus of our own, so that the keyring daemon below is the only
  # Secret Service and the harness's unlocked one is left alone.
  exec env QUILLSNAP_KEYRING_BUS=1 dbus-run-session -- "$0" "$@"
fi
source "$(dirname "$0")/session.sh"
password="e2e-secret"
# The prompt needs no accessibility bus (which would outlive the session).
export NO_AT_BRIDGE=1

# A login keyring that holds the history key, then a daemon started without
# unlocking it.
echo -n "$password" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
head -c 32 /dev/urandom |
  secret-tool store --label=key service com.quillsnap.encryption account master-key ||
  fail "cannot store the history key"
kill $(session_pids gnome-keyring-d) 2>/dev/null || true
sleep 0.3
gnome-keyring-daemon --start --components=secrets >/dev/null

convert -size 700x120 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +20+70 "Locked keyring capture 4711" "$root/known.png"
background display -geometry +100+550 "$root/known.png"
start_app

"$bindir/quillsnap-cli" capture || fail "quillsnap-cli capture"
wait_for_picker
start=$(date +%s%N)
xdotool mousemove 104 554 mousedown 1 mousemove 400 600 mousemove 796 666 mouseup 1
expected="Locked keyring capture 4711"
clip=""
for _ in $(seq 50); do
  clip="$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)"
  [ "$clip" = "$expected" ] && break
  sleep 0.1
done
[ "$clip" = "$expected" ] || fail "clipboard holds '$clip'"
echo "release to clipboard: $(( ($(date +%s%N) - start) / 1000000 )) ms with the keyring prompt up"

# The keyring's own prompt came up and nobody answers it.
xdotool search --sync --name "Unlock Login Keyring" >/dev/null || fail "no unlock prompt"
# The application still takes commands.
"$bindir/quillsnap-cli" capture || fail "no answer while the keyring waits"
wait_for_picker
xdotool click 3 # a right click cancels the picker
sleep 0.5
# Nothing holds the capture in clear.
if grep -rq "4711" "$root/data" 2>/dev/null; then
  fail "captured text written in clear under XDG_DATA_HOME"
fi

# The user unlocks the keyring in its prompt; the waiting capture is saved.
prompt=$(xdotool search --sync --onlyvisible --name "Unlock Login Keyring" | head -n 1)
# No window manager gives it focus: click into its password field.
xdotool mousemove --window "$prompt" 300 90 click 1 sleep 0.2 type --delay 10 "$password"
xdotool key Return
saved=0
for _ in $(seq 100); do
  history="$("$bindir/quillsnap-cli" history list 2>&1 || true)"
  saved=$(echo "$history" | grep -c "$expected" || true)
  [ "$saved" = 1 ] && break
  sleep 0.1
done
[ "$saved" = 1 ] || fail "history after unlocking: '$history'"
grep -q "4711" "$root/data/quillsnap/captureHistoryEncrypted" && fail "history stored in clear"

echo "1 passed, 0 failed"
