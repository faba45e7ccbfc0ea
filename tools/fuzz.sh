#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (ASan+UBSan) into build-fuzz and runs each for a
# bounded time (default 60 s) on a copy of its seed corpus. Any crash or model mismatch fails the run
# and leaves the input as build-fuzz/crash-<target>-*. Without clang it says so and does nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang++ not found; fuzzing skipped"
  exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DV917_FUZZ=ON \
  -DV917_EXTRAS=OFF ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build build-fuzz --target fuzz_all
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
status=0
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  work=build-fuzz/corpus/$target
  mkdir -p "$work"
  cp -n "$corpus"* "$work"/ 2>/dev/null || true
  echo "== $target: ${seconds} s"
  if ! build-fuzz/bin/"$target" -max_total_time="$seconds" -max_len=512 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/crash-$target-" "$work" 2>build-fuzz/$target.log; then
    tail -n 40 build-fuzz/$target.log
    echo "== $target FAILED (log: build-fuzz/$target.log)"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" build-fuzz/$target.log | tail -n 2
  fi
done
exit $status
