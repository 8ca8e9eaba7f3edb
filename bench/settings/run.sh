#!/usr/bin/env bash
# Opening the settings window from the tray menu until it is painted, against
# a trivial window in the same run, on an Xvfb desktop with a session bus and
# an unlocked Secret Service (as the application meets them).
#   bench/settings/run.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build/ci}"
runs="${2:-30}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$builddir" "$runs"
fi
if [ -z "${QUILLSNAP_BENCH_SESSION:-}" ]; then
  export QUILLSNAP_BENCH_SESSION=1 HOME="$(mktemp -d)"
  exec dbus-run-session -- bash -c '
    echo -n bench | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$0" "$@"' "$0" "$builddir" "$runs"
fi
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=xcb
cmake --build "$builddir" --target bench_settings >/dev/null
exec "$builddir/bench/settings/bench_settings" "$runs"
