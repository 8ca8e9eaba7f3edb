#!/usr/bin/env bash
# Builds and runs the recognition benchmark (warm engines against the tesseract
# command-line tool on a rendered corpus). Extra arguments go to the benchmark:
#   bench/recognition/run.sh [--variants [--only TEXT]] [--verbose] [--no-cli]
#                            [--corpus DIR] [--samples TEXT] [--languages eng+fra+...]
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset ci >/dev/null
cmake --build build/ci --target bench_recognition
export OMP_THREAD_LIMIT=1
export QT_QPA_PLATFORM=offscreen
exec build/ci/bench/recognition/bench_recognition "$@"
