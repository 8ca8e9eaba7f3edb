#!/usr/bin/env bash
# Builds and runs the cloud routing benchmark against a loopback server that
# answers after a fixed delay. Extra arguments go to the benchmark:
#   bench/providers/run.sh [--runs N] [--delay MS] [--no-device]
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset ci >/dev/null
cmake --build build/ci --target bench_providers
export OMP_THREAD_LIMIT=1
export QT_QPA_PLATFORM=offscreen
exec build/ci/bench/providers/bench_providers "$@"
