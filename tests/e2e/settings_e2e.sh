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
# "ui NAME" presses the control of that name in the settings window; "ui"
# prints "role: name [checked]" of every focusable control there.
ui() {
  /usr/bin/python3 - "$@" <<'PY'
import sys, time, pyatspi
def nodes(node):
    yield node
    for child in node:
        yield from nodes(child) if child is not None else ()
for _ in range(50):
    windows = [w for a in pyatspi.Registry.getDesktop(0) if a and a.name == "quillsnap"
               for w in a if w and w.name == "Settings"]
    if windows: break
    time.sleep(0.1)
for node in nodes(windows[0]):
    state = node.getState()
    if len(sys.argv) > 1 and node.name == sys.argv[1] and node.queryAction().nActions:
        sys.exit(0 if node.queryAction().doAction(0) else 1)
    if len(sys.argv) == 1 and state.contains(pyatspi.STATE_FOCUSABLE):
        print(f"{node.getRoleName()}: {node.name}" +
              (" [checked]" if state.contains(pyatspi.STATE_CHECKED) else ""))
sys.exit(len(sys.argv) > 1)
PY
}

start_app
wait_for tray_icon_shown || fail "no tray icon at start"
"$bindir/quillsnap-cli" settings || fail "quillsnap-cli settings"
wait_for settings_shown || fail "quillsnap-cli settings opened no window"
controls="$(ui)" || fail "cannot read the accessibility tree"
for expected in "check box: Show Tray Icon [checked]" "radio button: OpenAI [checked]" \
  "spin button: Max History Items" "list: Recognition Languages" "push button: Configure..."; do
  grep -qxF "$expected" <<<"$controls" || fail "not in the accessibility tree: $expected"
done

ui "Show Tray Icon" || fail "cannot switch the tray icon off"
wait_for eval '! tray_icon_shown' || fail "the tray icon stayed"
ui "Launch at Login" || fail "cannot switch launch at login on"
wait_for grep -q '^Exec=.*quillsnap' "$XDG_CONFIG_HOME/autostart/quillsnap.desktop" ||
  fail "no autostart entry"

# Escape closes the window; a second start brings it back, the icon still off.
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
wait_for grep -q '^showMenuBarIcon=true' "$conf" || fail "the switch does not show the icon"
echo "settings e2e: ok"
