#!/usr/bin/env bash
# Two monitors, the primary on the right: a tray click freezes and draws on the
# primary alone while the other monitor stays live; the floating icon lives on
# the left monitor, is kept wholly on it, and its double-click draws there; an
# overlay whose monitor is unplugged closes and the icon comes back onto the primary.
# The global key draws on the monitor under the pointer.
source "$(dirname "$0")/lib.sh"

e2e_start_xorg_dummy
W=1280
H=800
DESK="90 122 154" # #5a7a9a
LIVE="200 120 40" # the desktop's colour after the overlay opened
e2e_block 200 150 300 200 200 0 0     # red on the left monitor
e2e_block 1480 150 300 200 255 255 0  # yellow on the right one
sleep 0.3

pixel_is() { # x y "r g b" what
  local got
  got=$(e2e_pixel "$1" "$2")
  [ "$got" = "$3" ] || fail "$4: pixel ($1, $2) is '$got', expected '$3'"
}
# The part "x0,y0 x1,y1" of two screenshots is the same.
same_part() {
  local a=$E2E_ROOT/a.png b=$E2E_ROOT/b.png diff
  /usr/bin/convert "$1" -crop "$3" +repage "$a"
  /usr/bin/convert "$2" -crop "$3" +repage "$b"
  diff=$(/usr/bin/compare -metric AE "$a" "$b" null: 2>&1)
  [ "$diff" = 0 ] || fail "$4: $diff pixels differ"
}

# --- Tray mode: the tray sits on the primary, the right monitor.
e2e_start_with_icon
read -r cx cy < <(e2e_tray_center) || fail "no tray icon"
[ "$cx" -ge 1280 ] || fail "the tray icon is at $cx,$cy, not on the primary monitor"
eval "$(xdotool getwindowgeometry --shell "$(e2e_tray_window)")"
ICON="$((X - 2)),$((Y - 2)) $((X + WIDTH + 2)),$((Y + HEIGHT + 2))"
before=$(e2e_shot tray_before)
xdotool mousemove "$cx" "$cy" mousedown 1
OX=1280 wait_for 5 e2e_overlay_window || fail "the tray press opened no overlay over the right monitor"
xdotool mouseup 1
sleep 0.5
xsetroot -solid '#c87828'
sleep 0.3
after=$(e2e_shot tray_opened)
pixel_is 100 100 "$LIVE" "the left monitor stays live"
pixel_is 1380 100 "$DESK" "the right monitor is frozen"
for f in "$before" "$after"; do e2e_blank "$f" "1280,0 1296,16"; e2e_blank "$f" "$ICON"; done
same_part "$before" "$after" 1280x800+1280+0 "the frozen right monitor"
pixel_is 1286 6 "0 255 0" "the dot at the right monitor's corner"
e2e_drag 1500,400 1700,400 1700,500
pixel_is 1600 400 "0 255 0" "a stroke on the right monitor"
pixel_is 1700 450 "0 255 0" "the stroke's second leg"
pixel_is 1600 406 "$DESK" "below the stroke"
e2e_shot tray_drawn >/dev/null
xdotool key space
OX=1280 wait_for 5 e2e_no_overlay || fail "Space left the overlay open"
e2e_wait_tray_icon || fail "Space did not bring the tray icon back"
# The global key opens on the monitor under the pointer, not the tray's.
xdotool mousemove 600 400 key ctrl+alt+shift+d
OX=0 wait_for 5 e2e_overlay_window || fail "the key opened no overlay over the left monitor"
xdotool key ctrl+alt+shift+d
OX=0 wait_for 5 e2e_no_overlay || fail "the key did not end drawing"
kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "the tray program did not end"

# --- The floating icon, stored on the left monitor.
xsetroot -solid '#5a7a9a'
printf '[Section]\nForm_Left=9000\nForm_Top=3000\nTry_Out=True\n' >"$INI"
e2e_start_morvane
wait_for 10 e2e_icon_at 600 200 || fail "no icon at 600,200: '$(e2e_small_windows)'"
sleep 0.3 # let it paint
# Dropped across the edge between the monitors, mostly on the left: kept wholly there.
xdotool mousemove 611 211 mousedown 1
sleep 0.15
for i in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove $((611 + 660 * i / 10)) 211
  sleep 0.03
done
xdotool mouseup 1
wait_for 5 e2e_icon_at 1258 200 || fail "the icon is not kept on the left monitor: $(e2e_small_windows)"
sleep 0.3
before=$(e2e_shot floating_before)

# Its double-click freezes the left monitor; the right one stays live.
xdotool mousemove 1269 211 mousedown 1 sleep 0.06 mouseup 1 sleep 0.06 mousedown 1 sleep 0.06 mouseup 1
OX=0 wait_for 5 e2e_overlay_window || fail "the double-click opened no overlay over the left monitor"
wait_for 5 e2e_no_icon || fail "the icon is still there while drawing: $(e2e_small_windows)"
sleep 0.5
xsetroot -solid '#c87828'
sleep 0.3
after=$(e2e_shot floating_opened)
pixel_is 2400 100 "$LIVE" "the right monitor stays live"
pixel_is 100 400 "$DESK" "the left monitor is frozen"
for f in "$before" "$after"; do e2e_blank "$f" "0,0 16,16"; e2e_blank "$f" "1256,198 1282,224"; done
same_part "$before" "$after" 1280x800+0+0 "the frozen left monitor"
pixel_is 6 6 "0 255 0" "the dot at the left monitor's corner"
e2e_drag 300,500 600,500
pixel_is 450 500 "0 255 0" "a stroke on the left monitor"
e2e_shot floating_drawn >/dev/null

# The left monitor unplugged: its overlay closes as with Space, and the icon
# stored there comes back onto the primary.
xrandr --delmonitor VIRT-L || fail "xrandr could not remove the left monitor"
OX=0 wait_for 5 e2e_no_overlay || fail "the overlay outlived its monitor"
wait_for 5 e2e_icon_at 1280 200 || fail "the icon did not come back onto the primary: $(e2e_small_windows)"
e2e_alive || fail "unplugging a monitor ended the program"
e2e_shot unplugged >/dev/null
kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "the floating program did not end"
[ "$(ini_get Section Form_Left)" = 19200 ] || fail "Form_Left is '$(ini_get Section Form_Left)'"
[ "$(ini_get Section Form_Top)" = 3000 ] || fail "Form_Top is '$(ini_get Section Form_Top)'"
pass
