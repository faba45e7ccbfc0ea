#!/usr/bin/env bash
# The built program, out of process, on a real (virtual) X display: it starts in demo mode, shows
# its main window, a screenshot is taken, and a termination request ends it with nothing left behind.
#   smoke_xvfb.sh PROGRAM GRABBER OUT.png
set -u
program=$1 grabber=$2 out=$3
if ! command -v xvfb-run >/dev/null || ! command -v xwininfo >/dev/null; then
  echo "SKIP: xvfb-run or xwininfo is not installed (packages xvfb, x11-utils)"
  exit 77
fi
rm -f "$out"
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  program=$1 grabber=$2 out=$3
  "$program" --demo &
  pid=$!
  for i in $(seq 1 100); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"V917 Configuration Software\"" && break
    sleep 0.1
  done
  if ! xwininfo -root -tree | grep -q "\"V917 Configuration Software\""; then
    echo "FAIL: the main window did not appear"; kill -9 $pid 2>/dev/null; exit 1
  fi
  sleep 1
  "$grabber" "$out" || { echo "FAIL: no screenshot"; kill -9 $pid; exit 1; }
  kill -TERM $pid
  for i in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "FAIL: still running after the termination request"; kill -9 $pid; exit 1; fi
  wait $pid; status=$?
  if [ $status -ne 0 ]; then echo "FAIL: exit status $status"; exit 1; fi
  size=$(stat -c %s "$out")
  if [ "$size" -lt 5000 ]; then echo "FAIL: screenshot too small ($size bytes)"; exit 1; fi
  echo "PASS: main window shown, screenshot $out ($size bytes), program ended cleanly"
' smoke "$program" "$grabber" "$out"
