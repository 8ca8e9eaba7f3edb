#!/usr/bin/env bash
# Builds quillsnap with a CMake preset (default: ci) and runs every test inside
# a private harness: isolated HOME and XDG directories, a private D-Bus session
# with an unlocked GNOME Keyring as Secret Service, and an Xvfb display.
#   scripts/test.sh [preset] [extra ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-ci}"
shift || true

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

builddir="build/$preset"
harness_root="$(mktemp -d)"
trap 'rm -rf "$harness_root"' EXIT
mkdir -p "$harness_root"/{home,config,data,cache,runtime}
chmod 700 "$harness_root/runtime"
export HOME="$harness_root/home"
export XDG_CONFIG_HOME="$harness_root/config"
export XDG_DATA_HOME="$harness_root/data"
export XDG_CACHE_HOME="$harness_root/cache"
export XDG_RUNTIME_DIR="$harness_root/runtime"
export OMP_THREAD_LIMIT=1
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SWAYSOCK

ctest_args=(--test-dir "$builddir" --output-on-failure -j2 "$@")
xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- bash -c '
    echo -n quillsnap-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec ctest "$@"' ctest "${ctest_args[@]}"
