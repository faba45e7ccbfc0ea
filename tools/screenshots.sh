#!/usr/bin/env bash
# Makes the README's screenshots from the real program under Xvfb, into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target screenshot_tour
QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/screenshot_tour docs/screenshots
