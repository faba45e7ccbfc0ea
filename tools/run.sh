#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it; arguments go to the program
# (for example --demo, or --com1 /dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target v917config
exec build/bin/v917config "$@"
