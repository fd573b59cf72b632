#!/usr/bin/env bash
# The real program on headless sway (tests/e2e/lib.sh): tray activation over
# D-Bus to the frozen picture on screen, for each Wayland capture way, the
# ways interleaved rep by rep so that a machine's load falls on all alike.
# "On screen" is seen from outside: grim polls the pen dot's pixel.
# Each measured open prints its trace (MORVANE_TRACE=1) in ms from the activation.
# The yardstick, "bare": bench/wl_bare_open, the same open (screencopy into a
# fresh memory file, a shared pixmap as a full-screen window's background,
# the map) in C without a toolkit, triggered through a pipe.
#
#   MORVANE_BIN=build/morvane E2E_WL_TOOL=build/bench/wl_bare_open \
#     bash bench/probe_wayland.sh [WIDTHxHEIGHT]
#   REPS (7) and WAYS ("screencopy grim bare"; "portal" also works) may be set;
#   a way written WAY=BINARY runs with another build (two builds in one run).
#   One size per run: the portal's services keep the display they started with.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh"
E2E_WL_TIMEOUT=${E2E_WL_TIMEOUT:-900}
e2e_as_wayland_user "$0" "$@"

REPS=${REPS:-7}
WAYS=${WAYS:-screencopy grim bare}
size=${1:-1920x1080}

# Sets off an open ("dbus ITEM" or "pipe FILE") and waits for the dot: "open_ms N".
activate_and_watch() {
  python3 - "$1" "$2" <<'PY'
import subprocess, sys, time
how, target = sys.argv[1], sys.argv[2]
t0 = time.monotonic()
if how == "dbus":
    service, path = target.split("/", 1)
    subprocess.run(["dbus-send", "--session", "--type=method_call", "--dest=" + service, "/" + path,
                    "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"], check=True)
else:
    with open(target, "w") as pipe:
        pipe.write("open\n")
while time.monotonic() - t0 < 10:
    px = subprocess.run(["grim", "-g", "5,5 1x1", "-t", "ppm", "-"], capture_output=True).stdout
    if px[-3:] == b"\x00\xff\x00":
        print("open_ms %.0f t0 %.3f" % ((time.monotonic() - t0) * 1000, t0 * 1000))
        sys.exit(0)
sys.exit("the dot never appeared")
PY
}
dot_gone() { [ "$(e2e_wl_pixel 5 5)" != "0 255 0" ]; }

e2e_start_sway "$size"
foot -o colors.background=cc0000 sh -c 'sleep 1000' >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 10 bash -c 'swaymsg -t get_tree | grep -q "\"app_id\": \"foot\""' || fail "foot did not appear"
e2e_pointer move $((W - 40)) $((H / 2))
[[ " $WAYS " == *" portal "* ]] && e2e_start_portal
if [[ " $WAYS " == *" bare "* ]]; then
  [ -x "${E2E_WL_TOOL:-}" ] || fail "set E2E_WL_TOOL to build/bench/wl_bare_open"
  mkfifo "$E2E_ROOT/bare.in"
  "$E2E_WL_TOOL" <"$E2E_ROOT/bare.in" >"$E2E_ROOT/bare.log" 2>&1 &
  E2E_PIDS+=($!)
  sleep 100000 >"$E2E_ROOT/bare.in" & # keeps the pipe open between opens
  E2E_PIDS+=($!)
  wait_for 5 grep -q ready "$E2E_ROOT/bare.log" || fail "wl_bare_open: $(cat "$E2E_ROOT/bare.log")"
fi

# One measured open of `way`: sets OPEN_MS and CAPTURE_MS.
open_once() {
  local way=$1 out
  if [ "$way" = bare ]; then
    out=$(activate_and_watch pipe "$E2E_ROOT/bare.in") || fail "bare: $out $(cat "$E2E_ROOT/bare.log")"
    sleep 0.2
    OPEN_MS=$(awk '{print $2}' <<<"$out") CAPTURE_MS=$(tail -n1 "$E2E_ROOT/bare.log" | awk '{print $2}')
    echo close >"$E2E_ROOT/bare.in"
    wait_for 5 dot_gone || fail "bare: the window stayed"
    return
  fi
  # A fresh program for each rep; its first open is not counted.
  # WAY=BINARY: that way with another build, to compare two builds in one run.
  local MORVANE_BIN=$MORVANE_BIN
  if [[ $way == *=* ]]; then MORVANE_BIN=${way#*=} way=${way%%=*}; fi
  e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=$way
  wait_for 10 e2e_sni_item || fail "no tray item"
  sleep 0.5
  for pass in warm measured; do
    wait_for 10 e2e_sni_item || fail "no tray item before the $pass open"
    sleep 0.5
    out=$(activate_and_watch dbus "$(e2e_sni_item)") ||
      fail "$way: $out $(e2e_wl_windows) $(e2e_wl_pixel 5 5) $(tail -n 5 "$E2E_ROOT/morvane.log")"
    [ "$(e2e_wl_pixel $((W * 3 / 4)) $((H / 2)))" = "204 0 0" ] || fail "$way: the frozen picture lacks the window"
    wtype -k space
    wait_for 5 dot_gone || fail "$way: Space left the overlay up"
  done
  grep -q "kept-capture $way\$" "$E2E_ROOT/morvane.log" || fail "$way was not the way used"
  OPEN_MS=$(awk '{print $2}' <<<"$out")
  CAPTURE_MS=$(awk '$1 == "morvane-trace" && $2 == "open-start" {s = $3}
    $1 == "morvane-trace" && $2 == "captured" {c = $3} END {printf "%.0f", c - s}' "$E2E_ROOT/morvane.log")
  # The measured open's milestones, in ms from the activation (same clock).
  TRACE=$(awk -v t0="$(awk '{print $4}' <<<"$out")" '$1 == "morvane-trace" && $3 ~ /^[0-9.]+$/ &&
    $3 >= t0 {printf "%s %.0f  ", $2, $3 - t0}' "$E2E_ROOT/morvane.log")
  kill -TERM "$MORVANE_PID"
  e2e_wait_exit 10 || fail "SIGTERM did not end the program"
}

declare -A opens captures
for rep in $(seq "$REPS"); do
  for way in $WAYS; do
    OPEN_MS= CAPTURE_MS= TRACE=
    open_once "$way"
    [ -n "$OPEN_MS" ] || fail "$way open $rep gave no time"
    opens[$way]+="$OPEN_MS " captures[$way]+="$CAPTURE_MS "
    echo "$size $way open $rep: $OPEN_MS ms to the dot on screen (capture $CAPTURE_MS ms)${TRACE:+; $TRACE}"
  done
done
for way in $WAYS; do
  # shellcheck disable=SC2086
  echo "== $size $way: activation to frozen picture on screen, median of $REPS: $(median ${opens[$way]}) ms; capture alone $(median ${captures[$way]}) ms"
done
