#!/usr/bin/env bash
# End to end through the settings window, driven the way a screen reader
# drives it (AT-SPI): with a tray on screen, "Show Tray Icon" off takes the
# icon away at once; `quillsnap-cli settings` and a second start of quillsnap
# still open the window; "Launch at Login" writes the autostart entry; the
# next start shows the icon again.
#   settings_e2e.sh BINDIR
bindir="$1"
source "$(dirname "$0")/session.sh"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
atspi=/usr/bin/python3 # the distribution's Python, which has pyatspi

# The accessibility bus, before the application looks for it.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null || fail "no accessibility bus"
background trayer --edge top --align right --widthtype request --height 32 \
  --SetDockType true --expand false
sleep 0.5

# The icon is a window named and classed "quillsnap" inside trayer's "panel".
tray_icon_shown() {
  [[ "$(xwininfo -root -tree | grep -A6 '"panel"')" == *'"quillsnap": ("quillsnap"'* ]]
}
settings_shown() { xdotool search --onlyvisible --name '^Settings$' >/dev/null 2>&1; }
wait_for() {
  for _ in $(seq 60); do "$@" && return 0; sleep 0.1; done
  return 1
}
# ui.py COMMAND [NAME]: "press NAME" acts on the control of that name in the
# settings window; "check" prints the controls a screen reader finds there.
ui() {
  "$atspi" - "$@" <<'PY'
import sys, time, pyatspi
command = sys.argv[1]
def settings():
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "quillsnap":
                for window in app:
                    if window is not None and window.name == "Settings":
                        return window
        time.sleep(0.1)
    sys.exit("no settings window in the accessibility tree")
def nodes(node):
    yield node
    for child in node:
        if child is not None:
            yield from nodes(child)
window = settings()
if command == "press":
    for node in nodes(window):
        if node.name == sys.argv[2] and node.queryAction().nActions:
            node.queryAction().doAction(0)
            break
    else:
        sys.exit("no control named " + sys.argv[2])
else:
    for node in nodes(window):
        state = node.getState()
        if state.contains(pyatspi.STATE_FOCUSABLE) and node.getRoleName() != "list item":
            checked = " checked" if state.contains(pyatspi.STATE_CHECKED) else ""
            print(f"{node.getRoleName()}: {node.name}{checked}")
PY
}

start_app
wait_for tray_icon_shown || fail "no tray icon at start"
"$bindir/quillsnap-cli" settings || fail "quillsnap-cli settings"
wait_for settings_shown || fail "quillsnap-cli settings opened no window"
controls="$(ui check)" || fail "cannot read the accessibility tree"
for expected in "check box: Show Tray Icon checked" "check box: Launch at Login" \
  "radio button: OpenAI checked" "radio button: OCR.space" "spin button: Max History Items" \
  "push button: Configure..." "push button: Configure API Keys..." "push button: Clear History..."; do
  grep -qxF "$expected" <<<"$controls" || fail "not in the accessibility tree: $expected
$controls"
done
if grep -E '^[a-z ]+: ?$' <<<"$controls" | grep -v -e '^list:' -e '^scroll'; then
  fail "controls without a name (above)"
fi

ui press "Show Tray Icon" || fail "cannot switch the tray icon off"
wait_for eval '! tray_icon_shown' || fail "the tray icon stayed"
ui press "Launch at Login" || fail "cannot switch launch at login on"
entry="$XDG_CONFIG_HOME/autostart/quillsnap.desktop"
wait_for test -f "$entry" || fail "no autostart entry"
grep -q '^Exec=.*quillsnap' "$entry" || fail "autostart entry without Exec: $(cat "$entry")"

# The window closes; a second start brings it back, the icon still off.
xdotool search --name '^Settings$' windowfocus --sync
xdotool key Escape
wait_for eval '! settings_shown' || fail "Escape did not close the settings"
"$bindir/quillsnap" 2>/dev/null || fail "the second start failed"
wait_for settings_shown || fail "a second start opened no settings window"
tray_icon_shown && fail "the tray icon came back before a restart"

kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
conf="$XDG_CONFIG_HOME/quillsnap/quillsnap.conf"
grep -q '^showMenuBarIcon=false' "$conf" || fail "the switch was not stored"
start_app
wait_for tray_icon_shown || fail "the tray icon is not back after a restart"
wait_for grep -q '^showMenuBarIcon=true' "$conf" ||
  fail "the switch does not show the icon that is back"
echo "settings e2e: ok"
