#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz, clang with ASan + UBSan) and runs
# each in turn for the given seconds (default 10; 0: no limit), starting from
# its seed corpus in fuzz/corpus/. Fails when any target finds a crash, a
# leak, undefined behaviour, a timeout or runaway memory.
#   scripts/fuzz.sh [seconds] [target...] [-- extra libFuzzer flags...]
# New corpus entries go to build/fuzz/corpus/<target>/; the inputs behind a
# finding, and inputs slower than a second, to build/fuzz/findings/<target>/,
# with the log beside them. Replay one with: build/fuzz/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-10}"
shift || true
targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  targets+=("$1")
  shift
done
[ "${1:-}" = "--" ] && shift
extra=("$@")

# target, longest input in bytes, dictionary
config=(
  "fuzz_textcleanup 4096 text.dict"
  "fuzz_tables 4096 text.dict"
  "fuzz_historyjson 65536 history.dict"
  "fuzz_historyblock 65536 history.dict"
  "fuzz_historysealed 65536 history.dict"
  "fuzz_keysequence 1024 keysequence.dict"
  "fuzz_openairesponse 65536 providers.dict"
  "fuzz_geminiresponse 65536 providers.dict"
  "fuzz_ocrspaceresponse 65536 providers.dict"
  "fuzz_webdavlisting 65536 webdav.dict"
  "fuzz_syncrecord 16384 history.dict"
)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
failed=()
for entry in "${config[@]}"; do
  read -r target maxlen dict <<<"$entry"
  if [ ${#targets[@]} -gt 0 ] && [[ " ${targets[*]} " != *" $target "* ]]; then
    continue
  fi
  name="${target#fuzz_}"
  corpus="$out/corpus/$name"
  findings="$out/findings/$name"
  mkdir -p "$corpus" "$findings"
  log="$findings/fuzz.log"
  status=0
  "$out/fuzz/$target" "$corpus" "fuzz/corpus/$name" \
    -max_total_time="$seconds" -max_len="$maxlen" -dict="fuzz/$dict" \
    -timeout=10 -rss_limit_mb=2048 -report_slow_units=1 -print_final_stats=1 \
    -artifact_prefix="$findings/" ${extra[@]+"${extra[@]}"} >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $target FAILED (exit $status); log and input in $findings/"
    grep -E 'ERROR|SUMMARY|runtime error|check failed|Test unit written' "$log" | head -20 || true
    failed+=("$target")
  else
    echo "fuzz: $target ok: ${runs:-?} runs, ${speed:-?} exec/s, corpus $(ls "$corpus" | wc -l)"
  fi
  if compgen -G "$findings/slow-unit-*" >/dev/null; then
    echo "fuzz: $target: inputs slower than 1 s in $findings/"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
