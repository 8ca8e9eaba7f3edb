# A headless Wayland session for the tests (sourced after session.sh): sway
# with one output showing an image, PipeWire, and a private session bus on
# which xdg-desktop-portal starts with its wlr and gtk backends. sway refuses
# to run as root, so it runs as nobody with a runtime directory of its own;
# every client (root) reaches it through an absolute WAYLAND_DISPLAY.
#   start_wayland IMAGE [WIDTHxHEIGHT]
# Exports WAYLAND_DISPLAY, SWAYSOCK and DBUS_SESSION_BUS_ADDRESS; every
# process it starts ends with the script (session.sh's clean-up).
nobody=65534

start_wayland() {
  local image="$1" size="${2:-1280x720}" rt="$root/sway-rt" files="$root/sway-files"
  # nobody must reach the configuration and the image, not the rest.
  chmod 711 "$root"
  mkdir -p "$files" && chmod 755 "$files"
  cp "$image" "$files/background.png" && chmod 644 "$files/background.png"
  cat >"$files/config" <<CONF
output HEADLESS-1 resolution $size position 0 0 background $files/background.png center #ffffff
default_border none
xwayland disable
CONF
  [ -f "$files/extra" ] && cat "$files/extra" >>"$files/config"
  chmod 644 "$files/config"
  mkdir -m 700 "$rt" && chown "$nobody:$nobody" "$rt"
  unset DISPLAY
  export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland GDK_BACKEND=wayland
  env DBUS_SESSION_BUS_ADDRESS=disabled: XDG_RUNTIME_DIR="$rt" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    setpriv --reuid=$nobody --regid=$nobody --clear-groups -- \
    sway -c "$files/config" >"$root/sway.log" 2>&1 &
  pids+=($!)
  local socket=""
  for _ in $(seq 100); do
    socket="$(ls "$rt"/wayland-? 2>/dev/null | head -n 1 || true)"
    [ -n "$socket" ] && [ -S "$socket" ] && break
    sleep 0.05
  done
  [ -S "$socket" ] || { sed 's/^/  sway: /' "$root/sway.log" >&2; fail "sway did not start"; }
  export WAYLAND_DISPLAY="$socket"
  export SWAYSOCK="$(ls "$rt"/sway-ipc.*.sock 2>/dev/null | head -n 1 || true)"

  # A bus of our own: the portal it activates takes this environment.
  local address
  address="$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$root/bus.pid")"
  pids+=($(cat "$root/bus.pid"))
  export DBUS_SESSION_BUS_ADDRESS="$address"
  # An unlocked keyring, or the first secret would open a password prompt
  # that takes the focus.
  echo -n quillsnap-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  background pipewire
  for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
    sleep 0.05
  done
  # The first output is up when grim can read it.
  for _ in $(seq 100); do
    grim -t ppm - >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  fail "sway's output cannot be read"
}
