#!/usr/bin/env bash
# Wayland against X11, in one run:
#  1. `quillsnap-cli capture --region` until wl-paste reads the text, with the
#     tray application on headless sway (grim), against the same until xclip
#     reads it with the application on Xvfb; both show the same image.
#  2. The screenshot portal's cost against grim alone on the same sway output:
#     grim, the picker's silent capture through grim, and through the portal.
# Medians of ROUNDS rounds, and the ratios.
#   bench/wayland/run.sh [build-dir] [rounds]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="$(realpath "${1:-build/ci}")"
rounds="${2:-10}"
bindir="$builddir/bin"
cmake --build "$builddir" --target quillsnap quillsnap-cli quillsnap-screencapture >/dev/null

if [ -z "${QUILLSNAP_BENCH_INNER:-}" ]; then
  harness="$(mktemp -d)"
  trap 'rm -rf "$harness"' EXIT
  mkdir -p "$harness"/{home,config,data,runtime} && chmod 700 "$harness/runtime"
  env -u DISPLAY -u WAYLAND_DISPLAY QUILLSNAP_BENCH_INNER=1 HOME="$harness/home" \
    XDG_CONFIG_HOME="$harness/config" XDG_DATA_HOME="$harness/data" \
    XDG_RUNTIME_DIR="$harness/runtime" dbus-run-session -- "$0" "$builddir" "$rounds"
  exit
fi

source tests/e2e/session.sh
source tests/e2e/wayland_session.sh
text="Invoice 2026 shipped to Berlin"
convert -size 1280x720 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +40+80 "$text" "$root/screen.png"
region=20,40,700,60

now_ms() { date +%s%3N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

# ROUNDS captures: clear, ask, poll the clipboard reader until the text shows.
captures() {
  local read="$1" clear="$2" t0 i
  for i in $(seq "$rounds"); do
    $clear
    t0=$(now_ms)
    "$bindir/quillsnap-cli" capture --region "$region" >/dev/null
    until [ "$($read 2>/dev/null || true)" = "$text" ]; do sleep 0.005; done
    echo $(($(now_ms) - t0))
  done | median
}

# X11: Xvfb showing the image in a window at the origin.
Xvfb -displayfd 3 -screen 0 1280x720x24 3>"$root/display" >/dev/null 2>&1 &
pids+=($!)
until [ -s "$root/display" ]; do sleep 0.05; done
export DISPLAY=":$(cat "$root/display")" QT_QPA_PLATFORM=xcb
echo -n quillsnap-bench | gnome-keyring-daemon --unlock --components=secrets >/dev/null
background display -geometry +0+0 "$root/screen.png"
sleep 1
start_app
x11=$(captures "timeout 2 xclip -o -selection clipboard" "eval echo -n x | xclip -selection clipboard")
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
unset DISPLAY

start_wayland "$root/screen.png"
start_app
wayland=$(captures "timeout 5 wl-paste --no-newline" "wl-copy --clear")

# Screenshots of the whole output.
shots() {
  local i t0
  for i in $(seq "$rounds"); do
    t0=$(now_ms)
    "$@" >/dev/null 2>&1
    echo $(($(now_ms) - t0))
  done | median
}
grim_ms=$(shots grim -t ppm -)
picker_grim=$(QUILLSNAP_SCREENSHOT=grim shots "$bindir/quillsnap-screencapture" -x "$root/o.png")
picker_portal=$(QUILLSNAP_SCREENSHOT=portal shots "$bindir/quillsnap-screencapture" -x "$root/o.png")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }
echo "capture --region to text on the clipboard (median of $rounds):"
echo "  X11 (Xvfb, xclip)       ${x11} ms"
echo "  Wayland (sway, wl-paste) ${wayland} ms   ratio Wayland/X11 $(ratio "$wayland" "$x11")"
echo "screenshot of the output (median of $rounds):"
echo "  grim alone              ${grim_ms} ms"
echo "  picker -x through grim   ${picker_grim} ms   ratio $(ratio "$picker_grim" "$grim_ms")"
echo "  picker -x through portal ${picker_portal} ms   ratio $(ratio "$picker_portal" "$grim_ms") (portal/grim picker $(ratio "$picker_portal" "$picker_grim"))"
