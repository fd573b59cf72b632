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

# Exit from the menu ("終了", the last item) writes the keys as well, over foreign lines.
printf '; mine\n[Section]\nTry_Out=0\nForm_Left=1000\n[Other]\nk=v\n' >"$INI"
e2e_start_morvane
e2e_wait_tray_icon || fail "no tray icon on the second run"
# While idle in the tray the program does not wake up.
sleep 0.5
before=$(awk '/^voluntary_ctxt_switches/ {print $2}' /proc/$MORVANE_PID/status)
sleep 3
after=$(awk '/^voluntary_ctxt_switches/ {print $2}' /proc/$MORVANE_PID/status)
[ $((after - before)) -le 3 ] || fail "woke up $((after - before)) times in 3 idle seconds"
echo "idle: $((after - before)) wakeups in 3 s, RSS $(awk '/^VmRSS/ {print $2 $3}' /proc/$MORVANE_PID/status)"
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 3
sleep 0.4
xdotool key Up Return
e2e_wait_exit 10 || fail "the menu's exit did not end the program"
[ "$(grep -v '^Form_Top' "$INI" | head -c 1000)" = "$(printf '; mine\n[Section]\nTry_Out=False\nForm_Left=1000\n[Other]\nk=v')" ] ||
  fail "file after exit: $(cat "$INI")"
[ "$(ini_get Section Form_Top)" = "200" ] || fail "Form_Top after menu exit: $(cat "$INI")"
pass
