#!/usr/bin/env bash
# Many drawing sessions on a real display: tray press, a stroke, undo, the board
# with a stroke, back, Space. The program's resident memory after the last cycle
# stays within 5% of what it was after the tenth, and its X resources (windows,
# pixmaps, GCs, pictures, cursors) do not grow. SOAK_CYCLES sets the count
# (20 here; `make soak` runs 100).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/reliability_lib.sh"

CYCLES=${SOAK_CYCLES:-20}
W=1024
H=768
[ "$CYCLES" -ge 12 ] || fail "SOAK_CYCLES must be at least 12"
command -v xrestop >/dev/null || fail "xrestop is not installed (run scripts/deps.sh)"
e2e_start_x ${W}x${H}
# Under AddressSanitizer freed memory waits in a quarantine and counts as resident:
# keep none, so that only memory still in use is measured.
if ldd "$MORVANE_BIN" 2>/dev/null | grep -q libasan; then
  export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0:thread_local_quarantine_size_kb=0
fi
e2e_start_with_icon

start=$SECONDS
for ((i = 1; i <= CYCLES; i++)); do
  rel_open_overlay
  y=$((150 + (i * 7) % 400))
  rel_drag 200 "$y" 500 "$((y + 40))"
  xdotool key Left F10
  rel_drag 300 "$y" 600 "$y"
  xdotool key F11 space
  wait_for 5 e2e_no_overlay || fail "cycle $i: Space left the overlay open"
  e2e_wait_tray_icon 10 || fail "cycle $i: the tray icon did not come back"
  e2e_alive || fail "cycle $i: the program ended"
  # Let the last repaints and deferred deletions settle before measuring.
  if [ "$i" = 10 ] || [ "$i" = "$CYCLES" ]; then
    sleep 0.5
    rss[i]=$(rel_rss "$MORVANE_PID")
    xres[i]=$(rel_x_resources)
    [ -n "${xres[i]}" ] || fail "xrestop does not list the program"
  fi
done
elapsed=$((SECONDS - start))

rss10=${rss[10]}
rssN=${rss[CYCLES]}
echo "RSS after cycle 10: $rss10 kB; after cycle $CYCLES: $rssN kB"
echo "X resources (windows pixmaps GCs pictures cursors bytes) after 10: ${xres[10]}; after $CYCLES: ${xres[CYCLES]}"
[ $((rssN * 100)) -le $((rss10 * 105)) ] || fail "RSS grew from $rss10 kB to $rssN kB"
read -r -a a <<<"${xres[10]}"
read -r -a b <<<"${xres[CYCLES]}"
names=(windows pixmaps GCs pictures cursors bytes)
for k in 0 1 2 3 4 5; do
  [ "${b[k]}" -le "${a[k]}" ] || fail "X ${names[k]} grew from ${a[k]} to ${b[k]}"
done
pass "$CYCLES cycles in ${elapsed}s; RSS $rss10 -> $rssN kB; X resources ${xres[10]} -> ${xres[CYCLES]}"
