#!/usr/bin/env bash
# The real program on headless KWin 5.27 (tests/e2e/lib.sh): tray activation
# over D-Bus to the overlay's first full frame, for KWin's own screenshot
# interface and for the KDE portal, the ways interleaved rep by rep so that a
# machine's load falls on both alike. The clock starts before dbus-send; the
# frame's end is the program's own mark (MORVANE_TRACE "first-frame", the
# same monotonic clock): KWin lets nothing but its screenshot interface read
# the screen, which would compete with the capture being timed.
#
#   MORVANE_BIN=build/morvane bash bench/probe_kde.sh [WIDTHxHEIGHT]
#   REPS (5) and WAYS ("kwin portal") may be set.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh"
E2E_WL_TIMEOUT=${E2E_WL_TIMEOUT:-900}
e2e_as_wayland_user "$0" "$@"

REPS=${REPS:-5}
WAYS=${WAYS:-kwin portal}
size=${1:-1920x1080}

mkdir -p "$E2E_ROOT/data/applications" "$HOME/Pictures"
printf '[Desktop Entry]\nType=Application\nName=Morvane (probe)\nExec="%s"\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n' \
  "$APPDIR/morvane" >"$E2E_ROOT/data/applications/morvane-probe.desktop"
e2e_start_kwin "$size"
GDK_BACKEND=wayland python3 "$here/../tests/e2e/wl_window.py" '#cc0000' 600 400 >"$E2E_ROOT/window.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 grep -q ready "$E2E_ROOT/window.log" || fail "no GTK window: $(cat "$E2E_ROOT/window.log")"
[[ " $WAYS " == *" portal "* ]] && e2e_start_portal KDE kde

# One measured open of `way` by a fresh program (its first open not counted):
# sets OPEN_MS and CAPTURE_MS.
open_once() {
  local way=$1 t0 log=$E2E_ROOT/morvane.log
  printf '[Section]\nHot_Key=\n' >"$INI"
  e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=$way
  for pass in warm measured; do
    wait_for 10 e2e_sni_item || fail "no tray item before the $pass open"
    sleep 0.5
    seen=$(wc -l <"$log")
    t0=$(python3 -c 'import time; print("%.3f" % (time.monotonic() * 1000))')
    e2e_sni_call "$(e2e_sni_item)" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"
    marks() { tail -n +$((seen + 1)) "$log"; }
    wait_for 10 eval 'marks | grep -q first-frame' || fail "$way: no first frame: $(tail -n 3 "$log")"
    wait_for 10 focused || fail "$way: no overlay with the keyboard"
    OPEN_MS=$(marks | awk -v t0="$t0" '$2 == "first-frame" {printf "%.0f", $3 - t0}')
    CAPTURE_MS=$(marks | awk '$2 == "open-start" {s = $3} $2 == "captured" {printf "%.0f", $3 - s}')
    xdotool key space
    wait_for 10 e2e_no_overlay || fail "$way: Space left the overlay up"
  done
  kill -TERM "$MORVANE_PID"
  e2e_wait_exit 10 || fail "SIGTERM did not end the program"
}
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(e2e_overlay_window)" ]; }

declare -A opens captures
for rep in $(seq "$REPS"); do
  for way in $WAYS; do
    OPEN_MS= CAPTURE_MS=
    open_once "$way"
    [ -n "$OPEN_MS" ] || fail "$way open $rep gave no time"
    opens[$way]+="$OPEN_MS " captures[$way]+="$CAPTURE_MS "
    echo "$size $way open $rep: $OPEN_MS ms to the first frame (capture $CAPTURE_MS ms)"
  done
done
[ -z "$(ls -A "$HOME/Pictures")" ] || fail "pictures left in ~/Pictures: $(ls "$HOME/Pictures")"
for way in $WAYS; do
  # shellcheck disable=SC2086
  echo "== $size $way: activation to first full frame, median of $REPS: $(median ${opens[$way]}) ms (all: ${opens[$way]}); capture alone $(median ${captures[$way]}) ms"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
