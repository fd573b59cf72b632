#!/usr/bin/env bash
# The real program on a real X display (Xvfb + icewm): the idle tray process,
# opening the overlay from a tray press, and the latency of a fast drag.
#
#   MORVANE_BIN=build/morvane bash bench/probe_display.sh [WIDTHxHEIGHT]
#   IDLE_SECONDS (30), REPS (5 opens), DRAGS (3 per open) may be set.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh"

SIZE=${1:-3840x2160}
W=${SIZE%x*}
H=${SIZE#*x}
IDLE_SECONDS=${IDLE_SECONDS:-30}
REPS=${REPS:-5}
DRAGS=${DRAGS:-3}
PROBE="python3 $here/xprobe.py"
GREEN="0,255,0" # pen 1 of a fresh settings file: the dot and the strokes
DESK="90,122,154"

e2e_start_x "$SIZE" 96
tray_owned() { [ -n "$(xdotool search --classname icewm 2>/dev/null | head -n1)" ] && sleep 0.3; }
wait_for 10 tray_owned || fail "icewm did not come up"
e2e_start_morvane MORVANE_TRACE=1 ${PROBE_ENV:-}
e2e_wait_tray_icon 15 || fail "no tray icon appeared"
sleep 2 # let start-up work (fonts, the tray embedding) settle before counting

echo "== display $SIZE"
echo "-- resident in tray mode, ${IDLE_SECONDS} s idle"
$PROBE idle "$MORVANE_PID" "$IDLE_SECONDS"
$PROBE smaps "$MORVANE_PID" | sed -n 1,10p

overlay_up() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    [ "$WIDTH" = "$W" ] && [ "$HEIGHT" = "$H" ] && return 0
  done
  return 1
}

# The trace's milestones of the latest opening, relative to the press.
trace_of() { # press_ms
  awk -v p="$1" '$1 == "morvane-trace" { t[$2] = $3 }
    END { printf "trace(ms after press): open-start %.1f captured %.1f load-done %.1f shown %.1f store-ready %.1f first-paint %.1f first-frame %.1f\n",
      t["open-start"] - p, t["captured"] - p, t["load-done"] - p, t["shown"] - p, t["store-ready"] - p,
      t["first-paint"] - p, t["first-frame"] - p }' \
    "$E2E_ROOT/morvane.log"
}

opens=()
drags=()
for rep in $(seq "$REPS"); do
  read -r cx cy < <(e2e_tray_center) || fail "no tray icon to press"
  xdotool mousemove "$cx" "$cy"
  sleep 0.3
  out=$($PROBE open 6 6 "$GREEN") || fail "open $rep: the dot never appeared ($out)"
  echo "open $rep: $out"
  press=$(awk '{print $2}' <<<"$out")
  opens+=("$(awk '{print $4}' <<<"$out")")
  trace_of "$press"
  [[ $out == *"first_frame_rgb $DESK" ]] || echo "open $rep: the first frame did not show the desktop"
  wait_for 5 overlay_up || fail "no full-screen overlay"
  sleep 0.3
  for k in $(seq "$DRAGS"); do
    y=$((H / 4 + (rep * DRAGS + k) * 20))
    out=$($PROBE drag "$y" $((W / 10)) $((W * 9 / 10)) 200 "$GREEN") || fail "drag: line not complete ($out)"
    echo "drag $rep.$k: $out"
    drags+=("$(awk '{print $2}' <<<"$out")")
    sleep 0.2
  done
  xdotool key space
  e2e_wait_tray_icon 10 || fail "Space did not bring the tray icon back"
  sleep 0.5
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
echo "-- summary $SIZE"
echo "open (tray press to first frame on screen), median of $REPS: $(median "${opens[@]}") ms (target <= 60 ms at 4K)"
echo "drag (last of 200 moves to whole line on screen), median of ${#drags[@]}: $(median "${drags[@]}") ms (target <= 5 ms at 4K)"
echo "-- resident again after $REPS openings, 5 s idle"
sleep 1
$PROBE idle "$MORVANE_PID" 5
$PROBE smaps "$MORVANE_PID" | sed -n 1,8p
