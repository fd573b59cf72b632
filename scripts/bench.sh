#!/usr/bin/env bash
# Runs every benchmark program that the build produced, then the probe of the
# real program on Xvfb displays, sway and KWin (each skipped when missing;
# PROBE=0 skips them).
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
found=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  if [ "$(basename "$b")" = bench_open ]; then
    for s in 1920x1080 3840x2160; do
      echo "== bench_open $s"
      MORVANE_BENCH_SCREEN=$s "$b"
    done
    continue
  fi
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$b"
done
[ $found -eq 1 ] || echo "no benchmarks were built"

if [ "${PROBE:-1}" != 0 ] && command -v Xvfb >/dev/null && [ -x "$build/morvane" ]; then
  bash "$here/scripts/deps.sh" --bench || echo "no Flameshot: the probe runs without the comparison"
  for s in 1920x1080 3840x2160; do
    MORVANE_BIN=$(cd "$build" && pwd)/morvane bash "$here/bench/probe_display.sh" "$s"
  done
fi
if [ "${PROBE:-1}" != 0 ] && command -v sway >/dev/null && [ -x "$build/morvane" ]; then
  for s in 1920x1080 3840x2160; do
    MORVANE_BIN=$(cd "$build" && pwd)/morvane bash "$here/bench/probe_wayland.sh" "$s"
  done
fi
if [ "${PROBE:-1}" != 0 ] && command -v kwin_wayland >/dev/null && [ -x "$build/morvane" ]; then
  MORVANE_BIN=$(cd "$build" && pwd)/morvane bash "$here/bench/probe_kde.sh" 1920x1080
fi
