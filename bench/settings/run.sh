#!/usr/bin/env bash
# Opening the settings window from the tray menu until it is painted, against
# a trivial window in the same run, on an Xvfb desktop with a session bus and
# an unlocked Secret Service (as the application meets them).
#   bench/settings/run.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build/ci}"
runs="${2:-30}"
source bench/desktop_session.sh
enter_desktop_session "$0" "$builddir" "$runs"
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=xcb
cmake --build "$builddir" --target bench_settings >/dev/null
exec "$builddir/bench/settings/bench_settings" "$runs"
