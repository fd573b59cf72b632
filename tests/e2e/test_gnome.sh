#!/usr/bin/env bash
# GNOME Shell 43 (headless mutter, XWayland).
source "$(dirname "$0")/lib.sh"
e2e_as_wayland_user "$0" "$@"
e2e_start_gnome 1280x800
e2e_start_sni_watcher
e2e_start_gnome_portal
GDK_BACKEND=wayland python3 "$(dirname "$0")/wl_window.py" '#cc0000' 1000 600 >"$E2E_ROOT/window.log" 2>&1 &
E2E_PIDS+=($!)
sleep 3
e2e_gnome shot "$E2E_OUT/start.png" || fail "no shot"
printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1
wait_for 10 e2e_sni_item || fail "no tray item"
item=$(e2e_sni_item)
e2e_sni_call "$item" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"
sleep 2
e2e_gnome shot "$E2E_OUT/q1.png" || fail "no shot"
sleep 3
e2e_gnome shot "$E2E_OUT/q2.png" || fail "no shot"
e2e_gnome key 0xff09
sleep 0.5
e2e_gnome shot "$E2E_OUT/q3.png" || fail "no shot"
e2e_gnome key 0xff0d
sleep 2
e2e_gnome shot "$E2E_OUT/q4.png" || fail "no shot"
xdotool getwindowfocus getwindowname
xprop -root _NET_ACTIVE_WINDOW
xdotool search --onlyvisible --classname morvane
cat $E2E_ROOT/morvane.log
pass
