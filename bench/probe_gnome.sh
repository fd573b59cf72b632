#!/usr/bin/env bash
# The real program on headless GNOME Shell 43 (tests/e2e/lib.sh), through the
# screenshot portal with the permission already given: tray activation over
# D-Bus to the overlay's complete first frame, as the program's trace stamps
# it on the monotonic clock that this script's clock shares. A shell
# screenshot is too slow to poll with (100 ms and more a shot).
#
#   MORVANE_BIN=build/morvane bash bench/probe_gnome.sh [WIDTHxHEIGHT]   (REPS, default 5)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh"
E2E_WL_TIMEOUT=${E2E_WL_TIMEOUT:-900}
e2e_as_wayland_user "$0" "$@"

REPS=${REPS:-5}
size=${1:-1920x1080}

e2e_start_gnome "$size"
e2e_start_sni_watcher
e2e_start_gnome_portal
busctl --user call org.freedesktop.impl.portal.PermissionStore /org/freedesktop/impl/portal/PermissionStore \
  org.freedesktop.impl.portal.PermissionStore SetPermission sbssas screenshot true screenshot "" 1 yes ||
  fail "the permission could not be given"
GDK_BACKEND=wayland python3 "$here/../tests/e2e/wl_window.py" '#cc0000' $((W * 3 / 4)) $((H * 3 / 4)) >/dev/null 2>&1 &
E2E_PIDS+=($!)
printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=portal
frames() { grep -c "morvane-trace first-frame" "$E2E_ROOT/morvane.log"; }
opens=() captures=()
for rep in $(seq 0 "$REPS"); do # the first open warms up and is not counted
  wait_for 15 e2e_sni_item || fail "no tray item before open $rep"
  sleep 1
  n=$(frames)
  t0=$(python3 -c 'import time; print("%.3f" % (time.monotonic() * 1000))')
  e2e_sni_call "$(e2e_sni_item)" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"
  wait_for 15 bash -c "[ \$(grep -c 'morvane-trace first-frame' '$E2E_ROOT/morvane.log') -gt $n ]" ||
    fail "no first frame: $(tail -n 5 "$E2E_ROOT/morvane.log")"
  read -r open capture < <(awk -v t0="$t0" '$2 == "open-start" {s = $3} $2 == "captured" {c = $3}
    $2 == "first-frame" {f = $3} END {printf "%.0f %.0f\n", f - t0, c - s}' "$E2E_ROOT/morvane.log")
  grep -q "capture failed" "$E2E_ROOT/morvane.log" && fail "$(cat "$E2E_ROOT/morvane.log")"
  if [ "$rep" -gt 0 ]; then
    opens+=("$open") captures+=("$capture")
    echo "$size portal open $rep: $open ms to the complete first frame (capture $capture ms)"
  fi
  xdotool key space
done
echo "== $size GNOME portal: activation to complete first frame, median of $REPS: $(median "${opens[@]}") ms" \
  "(range $(printf '%s\n' "${opens[@]}" | sort -n | sed -n '1p;$p' | xargs | tr ' ' -)); capture alone $(median "${captures[@]}") ms;" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
pass
