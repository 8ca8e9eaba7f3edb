#!/usr/bin/env bash
# Builds quillsnap (default preset) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default
export OMP_THREAD_LIMIT=1
exec build/default/tools/cli/quillsnap-cli --help
