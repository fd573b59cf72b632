#!/usr/bin/env bash
# The floating icon on a real desktop: it starts where the settings file left
# it, is round, drags with the window manager and stays on screen, starts
# drawing on a double-click, and its last place and mode are saved on exit.
source "$(dirname "$0")/lib.sh"

e2e_start_x 1024x768
printf '[Section]\nForm_Left=6000\nForm_Top=3000\nTry_Out=True\n' >"$INI"
e2e_start_morvane


wait_for 10 e2e_icon_at 400 200 || fail "no icon at 400,200: '$(e2e_small_windows)'"
sleep 0.3 # let it paint
shot=$(e2e_shot start)
# "r g b" of one pixel of that screenshot.
px() {
  /usr/bin/convert "$shot" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | tail -n1 |
    sed -E 's/^[^(]*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}
# Exactly one small window: the icon, and no tray icon beside it.
[ "$(e2e_small_windows | wc -l)" -eq 1 ] || fail "more than the icon: $(e2e_small_windows)"

desk="90 122 154"
[ "$(px 400 200)" = "$desk" ] || fail "corner is not cut away: $(px 400 200)"
[ "$(px 421 221)" = "$desk" ] || fail "far corner is not cut away: $(px 421 221)"
[ "$(px 421 211)" = "128 128 128" ] || fail "no dark-grey strip: $(px 421 211)"
[ "$(px 417 204)" = "192 192 192" ] || fail "no light-grey face: $(px 417 204)"
[ "$(px 411 211)" != "$desk" ] || fail "nothing drawn in the middle"

# Drag with the window manager's move.
drag() { # from-x from-y dx dy
  local i
  xdotool mousemove "$1" "$2" mousedown 1
  sleep 0.15
  for i in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $(($1 + $3 * i / 10)) $(($2 + $4 * i / 10))
    sleep 0.03
  done
  xdotool mouseup 1
}
drag 411 211 150 100
wait_for 5 e2e_icon_at 550 300 || fail "drag did not move the icon: $(e2e_small_windows)"

# Dropped half past the right edge: pushed back flush against it.
drag 561 311 460 0
wait_for 5 e2e_icon_at 1002 300 || fail "icon not kept on screen: $(e2e_small_windows)"
e2e_shot dragged >/dev/null

# A quick double-click, 60 ms between the clicks, hides the icon and opens the overlay.
xdotool mousemove 1013 311 click --repeat 2 --delay 60 1
wait_for 5 e2e_no_icon || fail "double-click left the icon: $(e2e_small_windows)"
fullscreen() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" -eq 1024 ] && [ "$HEIGHT" -eq 768 ] && return 0
  done
  return 1
}
wait_for 5 fullscreen || fail "double-click opened no overlay"
# Space brings the icon back where it was dragged.
xdotool key space
wait_for 5 e2e_icon_at 1002 300 || fail "Space did not bring the icon back: $(e2e_small_windows)"

kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "SIGTERM did not end the program"
[ "$(ini_get Section Form_Left)" = "15030" ] || fail "Form_Left is '$(ini_get Section Form_Left)'"
[ "$(ini_get Section Form_Top)" = "4500" ] || fail "Form_Top is '$(ini_get Section Form_Top)'"
[ "$(ini_get Section Try_Out)" = "True" ] || fail "Try_Out is '$(ini_get Section Try_Out)'"

# A desktop without any tray (the window manager gone): the floating icon
# stands in for the tray icon, and the file still says the tray.
for p in "${E2E_PIDS[@]}"; do [ "$(ps -o comm= -p "$p")" = icewm ] && kill "$p"; done
wait_for 10 bash -c "$(declare -f e2e_tray_ready); ! e2e_tray_ready" || fail "the tray did not go"
sed -i 's/^Try_Out=True/Try_Out=False/' "$INI"
e2e_start_morvane
wait_for 20 e2e_icon_at 1002 300 || fail "no floating icon without a tray: $(e2e_small_windows)"
grep -q "shows no system tray" "$E2E_ROOT/morvane.log" || fail "the stand-in was not said: $(cat "$E2E_ROOT/morvane.log")"
kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "SIGTERM did not end the program"
[ "$(ini_get Section Try_Out)" = "False" ] || fail "the stand-in wrote Try_Out=$(ini_get Section Try_Out)"
pass
