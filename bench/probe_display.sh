#!/usr/bin/env bash
# The real program on a real X display (Xvfb + icewm): the idle tray process,
# opening the overlay from a tray press, from the global key and from
# `morvane --draw`, and the latency of a fast drag.
#
#   MORVANE_BIN=build/morvane bash bench/probe_display.sh [WIDTHxHEIGHT]
#   IDLE_SECONDS (30), REPS (5 opens), DRAGS (3 per open) may be set.
#   FLAMESHOT=0 skips the comparison with Flameshot's capture window (`flameshot
#   gui`, its daemon already running); scripts/deps.sh --bench installs it.
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
    END { printf "trace(ms after press): open-start %.1f captured %.1f load-done %.1f shown %.1f pixels %.1f store-ready %.1f first-paint %.1f first-frame %.1f\n",
      t["open-start"] - p, t["captured"] - p, t["load-done"] - p, t["shown"] - p, t["pixels"] - p, t["store-ready"] - p,
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

# The ways in besides the tray: the global key, and `morvane --draw` as a new
# process, each to the first frame with the dot; Space closes again.
keys=()
commands=()
for rep in $(seq "$REPS"); do
  xdotool mousemove $((W / 3)) $((H / 3))
  sleep 0.3
  out=$($PROBE open 6 6 "$GREEN" Control_L+Alt_L+Shift_L+d) || fail "key $rep: the dot never appeared ($out)"
  echo "key $rep: $out"
  keys+=("$(awk '{print $4}' <<<"$out")")
  wait_for 5 overlay_up || fail "no full-screen overlay from the key"
  sleep 0.3
  xdotool key space
  e2e_wait_tray_icon 10 || fail "Space did not bring the tray icon back"
  sleep 0.5
  out=$($PROBE launch 6 6 "$APPDIR/morvane" --draw) || fail "--draw $rep: no frame appeared ($out)"
  echo "--draw $rep: $out"
  commands+=("$(awk '{print $4}' <<<"$out")")
  wait_for 5 overlay_up || fail "no full-screen overlay from --draw"
  sleep 0.3
  xdotool key space
  e2e_wait_tray_icon 10 || fail "Space did not bring the tray icon back"
  sleep 0.5
done

# Flameshot's capture window on the same display, from `flameshot gui` to the
# first frame that changes the screen's centre (its dimmed frozen desktop).
flameshots=()
centre_is_desktop() { [ "$(e2e_pixel $((W / 2)) $((H / 2)))" = "${DESK//,/ }" ]; }
if [ "${FLAMESHOT:-1}" != 0 ] && command -v flameshot >/dev/null && command -v dbus-daemon >/dev/null; then
  mkdir -p "$XDG_CONFIG_HOME/flameshot"
  cat >"$XDG_CONFIG_HOME/flameshot/flameshot.ini" <<'INI'
[General]
disabledTrayIcon=true
showStartupLaunchMessage=false
showDesktopNotification=false
showHelp=false
startupLaunch=false
INI
  dbus-daemon --session --nofork --print-address=3 3>"$E2E_ROOT/bus" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  wait_for 5 test -s "$E2E_ROOT/bus" || fail "no session bus for Flameshot"
  bus=$(head -n1 "$E2E_ROOT/bus")
  DBUS_SESSION_BUS_ADDRESS=$bus flameshot >"$E2E_ROOT/flameshot.log" 2>&1 &
  E2E_PIDS+=($!)
  fs_ready() { DBUS_SESSION_BUS_ADDRESS=$bus busctl --user status org.flameshot.Flameshot >/dev/null 2>&1; }
  wait_for 15 fs_ready || fail "the Flameshot daemon did not come up"
  sleep 2
  for rep in $(seq "$REPS"); do
    xdotool mousemove $((W / 3)) $((H / 3))
    sleep 0.3
    out=$(DBUS_SESSION_BUS_ADDRESS=$bus $PROBE launch $((W / 2)) $((H / 2)) flameshot gui) ||
      fail "flameshot $rep: no frame appeared ($out)"
    echo "flameshot $rep: $out"
    flameshots+=("$(awk '{print $4}' <<<"$out")")
    sleep 0.5
    xdotool key Escape
    wait_for 5 centre_is_desktop || fail "Flameshot did not close"
    sleep 0.5
  done
fi

echo "-- summary $SIZE (load average $(cut -d' ' -f1-3 /proc/loadavg))"
open_median=$(median "${opens[@]}")
echo "open (tray press to first frame on screen), median of $REPS: $open_median ms, all: ${opens[*]}"
echo "key (Ctrl+Alt+Shift+D to first frame on screen), median of $REPS: $(median "${keys[@]}") ms, all: ${keys[*]}"
echo "morvane --draw (new process to first frame on screen), median of $REPS: $(median "${commands[@]}") ms, all: ${commands[*]}"
if [ ${#flameshots[@]} -gt 0 ]; then
  fs_median=$(median "${flameshots[@]}")
  echo "flameshot gui (command to first frame), median of $REPS: $fs_median ms, all: ${flameshots[*]}"
  echo "open / flameshot: $(awk -v a="$open_median" -v b="$fs_median" 'BEGIN {printf "%.2f", a / b}')"
fi
echo "drag (last of 200 moves to whole line on screen), median of ${#drags[@]}: $(median "${drags[@]}") ms (target <= 5 ms at 4K)"
echo "-- resident again after $REPS openings, 5 s idle"
sleep 1
$PROBE idle "$MORVANE_PID" 5
$PROBE smaps "$MORVANE_PID" | sed -n 1,8p
