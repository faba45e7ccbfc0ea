#!/usr/bin/env bash
# Installs what is missing, builds the program, the simulator and the man pages (what installing
# needs) and starts the program; arguments go to it (for example --demo, or --com1 /dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target v917config sim917 v917_docs
exec build/bin/v917config "$@"
