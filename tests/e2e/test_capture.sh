#!/usr/bin/env bash
# The shared-memory screen capture equals Qt's grab pixel for pixel on a real
# X server: one screen, a primary monitor that does not start at the origin,
# and with shared memory refused (the fallback).
source "$(dirname "$0")/lib.sh"

TEST_BIN=${MORVANE_TEST_PLATFORM:-$(dirname "$MORVANE_BIN")/tests/test_platform}
[ -x "$TEST_BIN" ] || fail "no test program at $TEST_BIN"

run_capture_tests() { # label [VAR=value...]
  local label=$1
  shift
  env QT_QPA_PLATFORM=xcb "$@" timeout 60 "$TEST_BIN" --gtest_filter='CaptureX11*' \
    >"$E2E_ROOT/$label.log" 2>&1 || {
    cat "$E2E_ROOT/$label.log" >&2
    fail "$label: the capture tests failed"
  }
  grep -q "SKIPPED" "$E2E_ROOT/$label.log" && [ $# -eq 0 ] && {
    cat "$E2E_ROOT/$label.log" >&2
    fail "$label: the capture tests were skipped on a live display"
  }
  return 0
}

e2e_start_x 1600x900
run_capture_tests one-screen

# Two monitors side by side; the primary one is on the right.
xrandr --setmonitor left 800/200x900/100+0+0 none >/dev/null || fail "xrandr --setmonitor left"
xrandr --setmonitor '*right' 800/200x900/100+800+0 screen >/dev/null || fail "xrandr --setmonitor right"
run_capture_tests primary-on-the-right

run_capture_tests no-shm QT_XCB_NO_MITSHM=1
pass "shared-memory capture equals Qt's grab"
