#!/usr/bin/env bash
# The resident program in the tray: icon embedded, menu on right release,
# one instance only, and the three keys written on exit and on SIGTERM.
source "$(dirname "$0")/lib.sh"

e2e_start_x 1024x768
e2e_start_morvane
e2e_wait_tray_icon || fail "no tray icon appeared"

# A second start ends silently and leaves no second icon.
(cd "$APPDIR" && timeout 10 ./morvane) || fail "second start did not exit 0"
[ "$(xdotool search --onlyvisible --classname morvane | wc -l)" -ge 1 ] || fail "icon lost"
[ -e "$INI" ] && fail "a second start wrote the settings file"

# Right press shows nothing; the menu opens on the release.
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" mousedown 3
sleep 0.3
xdotool search --onlyvisible --class morvane getwindowname %@ 2>/dev/null | grep -q . || true
menus_before=$(xdotool search --onlyvisible --classname morvane | wc -l)
xdotool mouseup 3
wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --classname morvane | wc -l) -gt $menus_before ]" ||
  fail "right release opened no menu"
e2e_shot tray_menu >/dev/null
xdotool key Escape

# SIGTERM ends in order: the three keys are written.
kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "SIGTERM did not end the program"
[ "$(ini_get Section Form_Left)" = "14837" ] || fail "Form_Left is '$(ini_get Section Form_Left)'"
[ "$(ini_get Section Form_Top)" = "200" ] || fail "Form_Top is '$(ini_get Section Form_Top)'"
[ "$(ini_get Section Try_Out)" = "False" ] || fail "Try_Out is '$(ini_get Section Try_Out)'"
pass
