#!/usr/bin/env bash
# Builds quillsnap (default preset) and starts the tray application.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default
export OMP_THREAD_LIMIT=1
exec build/default/bin/quillsnap "$@"
