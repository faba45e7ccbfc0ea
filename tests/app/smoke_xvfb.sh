#!/usr/bin/env bash
# The built program, out of process, on a real (virtual) X display: it starts in demo mode, shows
# its main window, a screenshot is taken, and a termination request ends it with nothing left behind.
#   smoke_xvfb.sh PROGRAM GRABBER OUT.png
#
# A red run means a fault of the program. Every wait is for a condition and lasts as long as a loaded
# machine needs (up to V917_SMOKE_PATIENCE seconds, 200 by default, so that a hang still ends with its
# own message before CTest's time-out). An X server that is lost (or never starts) is not the
# program's fault: the session is tried once more, and a second loss skips the test with a note.
set -u
program=$1 grabber=$2 out=$3
if ! command -v xvfb-run >/dev/null || ! command -v xwininfo >/dev/null; then
  echo "SKIP: xvfb-run or xwininfo is not installed (packages xvfb, x11-utils)"
  exit 77
fi
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=
patience=${V917_SMOKE_PATIENCE:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs on the virtual display. Exit status: 0 passed, 1 the program failed, 3 the X server was lost
# (also left as the file $started.lost, since xvfb-run reports its own failure when its server died).
inner='
  program=$1 grabber=$2 out=$3 started=$4 patience=$5
  : >"$started"
  errors=$started.err
  deadline=$((SECONDS + patience))
  # Gone, or never ours: two copies of xvfb-run -a started at once may both pick the same display.
  x_alive() {
    xwininfo -root >/dev/null 2>&1 &&
      ! grep -qE "could not connect to display|X11 connection broke" "$errors" 2>/dev/null
  }
  # Between two looks: the program still running, the X server still there, time left.
  still_waiting() {
    if ! kill -0 $pid 2>/dev/null; then
      wait $pid; status=$?
      if ! x_alive; then echo "X server lost while $1 (the program ended with status $status)"; exit 3; fi
      echo "FAIL: the program ended with status $status while $1"; exit 1
    fi
    if ! x_alive; then echo "X server lost while $1"; kill -9 $pid 2>/dev/null; exit 3; fi
    if [ $SECONDS -ge $deadline ]; then
      echo "FAIL: still $1 after ${patience} s"; kill -9 $pid 2>/dev/null; exit 1
    fi
    sleep 0.2
  }
  "$program" --demo 2>"$errors" &
  pid=$!
  on_exit() {
    verdict=$?
    cat "$errors" >&2
    if [ $verdict -eq 3 ]; then : >"$started.lost"; fi
  }
  trap on_exit EXIT
  until xwininfo -root -tree 2>/dev/null | grep -q "\"V917 Configuration Software\""; do
    still_waiting "waiting for the main window"
  done
  # A display not painted yet is a nearly empty picture: take it again until the window is in it.
  until "$grabber" "$out" 2>/dev/null && [ "$(stat -c %s "$out")" -ge 5000 ]; do
    still_waiting "waiting for a screenshot with the window in it"
  done
  size=$(stat -c %s "$out")
  kill -TERM $pid
  while kill -0 $pid 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      echo "FAIL: still running ${patience} s after the termination request"; kill -9 $pid; exit 1
    fi
    sleep 0.2
  done
  wait $pid; status=$?
  if [ $status -ne 0 ]; then
    if ! x_alive; then echo "X server lost while the program ended (status $status)"; exit 3; fi
    echo "FAIL: exit status $status after the termination request"; exit 1
  fi
  echo "PASS: main window shown, screenshot $out ($size bytes), program ended cleanly"
'

session() {
  rm -f "$out" "$work/started" "$work/started.lost"
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$inner" smoke "$program" "$grabber" "$out" \
    "$work/started" "$patience"
  rc=$?
  # xvfb-run ends before running anything when its X server does not start.
  if [ ! -e "$work/started" ]; then
    echo "X server did not start (xvfb-run status $rc)"
    rc=3
  elif [ -e "$work/started.lost" ]; then
    rc=3
  fi
  return $rc
}

session
rc=$?
if [ $rc -eq 3 ]; then
  echo "Trying once more on a new X server"
  session
  rc=$?
  if [ $rc -eq 3 ]; then
    echo "SKIP: the X server was lost twice; this says nothing about the program"
    exit 77
  fi
fi
exit $rc
