#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest; then the suite once
# more under sanitizers and each fuzz target for a short time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
(cd build && QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME= ctest --output-on-failure --timeout 600)

# ---- Sanitizer stage ---------------------------------------------------------------------------------
# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan: any
# memory error, leak or undefined behaviour fails its test. Leaks that are Qt's or fontconfig's own are
# named, with why, in tools/lsan.supp. Benchmarks and the screenshot tour are left out. Skip with
# V917_NO_SANITIZE=1.
if [ -z "${V917_NO_SANITIZE:-}" ]; then
  san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DV917_EXTRAS=OFF \
    -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
  cmake --build build-asan
  (cd build-asan &&
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_init_order=1 \
    LSAN_OPTIONS=suppressions=$PWD/../tools/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME= ctest --output-on-failure --timeout 900)
fi

# ---- Fuzzing stage -----------------------------------------------------------------------------------
# Each fuzz target for 20 s on its seed corpus, when clang is installed (tools/fuzz.sh).
if [ -z "${V917_NO_FUZZ:-}" ]; then
  bash tools/fuzz.sh 20
fi
