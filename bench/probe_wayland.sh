#!/usr/bin/env bash
# The real program on headless sway (tests/e2e/lib.sh): tray activation over
# D-Bus to the frozen picture on screen, for each Wayland capture back end.
# "On screen" is seen from outside: grim polls the pen dot's pixel.
#
#   MORVANE_BIN=build/morvane bash bench/probe_wayland.sh [WIDTHxHEIGHT]
#   REPS (5 per back end) may be set. One size per run: the portal's services
#   keep the display they started with.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh"
e2e_as_wayland_user "$0" "$@"

REPS=${REPS:-5}
size=${1:-1920x1080}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# Activates the item and waits for the dot: "open_ms N press_ms T".
activate_and_watch() {
  python3 - "$1" <<'PY'
import subprocess, sys, time
item = sys.argv[1]
service, path = item.split("/", 1)
t0 = time.monotonic()
subprocess.run(["dbus-send", "--session", "--type=method_call", "--dest=" + service, "/" + path,
                "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"], check=True)
while time.monotonic() - t0 < 10:
    px = subprocess.run(["grim", "-g", "5,5 1x1", "-t", "ppm", "-"], capture_output=True).stdout
    if px[-3:] == b"\x00\xff\x00":
        print("open_ms %.0f press_ms %.3f" % ((time.monotonic() - t0) * 1000, t0 * 1000))
        sys.exit(0)
sys.exit("the dot never appeared")
PY
}

e2e_start_sway "$size"
foot -o colors.background=cc0000 sh -c 'sleep 1000' >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 10 bash -c 'swaymsg -t get_tree | grep -q "\"app_id\": \"foot\""' || fail "foot did not appear"
e2e_pointer move $((W - 40)) $((H / 2))
for way in grim portal; do
  [ $way = portal ] && e2e_start_portal
  e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=$way
  wait_for 10 e2e_sni_item || fail "no tray item"
  sleep 1
  opens=() captures=()
  for rep in $(seq "$REPS"); do
    wait_for 10 e2e_sni_item || fail "no tray item before open $rep"
    sleep 0.5
    out=$(activate_and_watch "$(e2e_sni_item)") || fail "$way open $rep: $out $(e2e_wl_windows) $(e2e_wl_pixel 5 5) $(tail -n 5 "$E2E_ROOT/morvane.log")"
    press=$(awk '{print $4}' <<<"$out")
    opens+=("$(awk '{print $2}' <<<"$out")")
    captures+=("$(awk -v p="$press" '$1 == "morvane-trace" && $2 == "open-start" {s = $3}
      $1 == "morvane-trace" && $2 == "captured" {c = $3} END {printf "%.0f", c - s}' "$E2E_ROOT/morvane.log")")
    [ "$(e2e_wl_pixel $((W * 3 / 4)) $((H / 2)))" = "204 0 0" ] || fail "$way: the frozen picture lacks the window"
    echo "$size $way open $rep: ${opens[-1]} ms to the dot on screen (capture ${captures[-1]} ms)"
    wtype -k space
    sleep 0.5
  done
  echo "== $size $way: activation to frozen picture on screen, median of $REPS: $(median "${opens[@]}") ms; capture alone $(median "${captures[@]}") ms"
  kill -TERM "$MORVANE_PID"
  e2e_wait_exit 10 || fail "SIGTERM did not end the program"
done
