#!/usr/bin/env bash
# The screen changes size while the program waits in the tray (RandR on Xvfb):
# every later opening covers the new screen exactly and freezes what it showed.
# An 8-bit screen, where no window can be painted, is refused once, plainly.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/reliability_lib.sh"

e2e_start_x 1600x1200 # the largest size the screen can take later
rel_set_screen 1024 768
e2e_start_with_icon

# Blanks a rectangle "x0,y0 x1,y1" of a screenshot so that comparisons skip it.

# Opens the overlay on a W x H screen and checks its size and its capture.
check_opening() {
  W=$1 H=$2
  local before after diff size
  size=$(rel_screen_size)
  [ "$size" = "$W $H" ] || fail "the screen is $size, not $W $H"
  e2e_wait_tray_icon 10 || fail "$W x $H: no tray icon"
  # A mark on the desktop that the capture must keep: an xterm-less way is the
  # root window's own colour, which differs for each size.
  xsetroot -solid "$3"
  xdotool mousemove $((W / 2)) $((H / 3))
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$(e2e_tray_window)")"
  local icon="$((X - 2)),$((Y - 2)) $((X + WIDTH + 2)),$((Y + HEIGHT + 2))"
  before=$(e2e_shot "before_$W")
  rel_open_overlay
  sleep 0.3
  after=$(e2e_shot "opened_$W")
  for f in "$before" "$after"; do
    e2e_blank "$f" "0,0 16,16"
    e2e_blank "$f" "$icon"
  done
  [ "$(identify -format '%wx%h' "$after")" = "${W}x${H}" ] || fail "the screenshot is not $W x $H"
  diff=$(/usr/bin/compare -metric AE "$before" "$after" null: 2>&1)
  [ "$diff" = "0" ] || fail "$W x $H: the frozen screen differs from the desktop in $diff pixels"
  # Drawing reaches the new screen's far corner.
  rel_drag $((W - 60)) $((H - 60)) $((W - 20)) $((H - 60))
  sleep 0.3
  [ "$(e2e_pixel $((W - 40)) $((H - 60)))" = "0 255 0" ] || fail "$W x $H: no stroke near the far corner"
  xdotool key space
  wait_for 5 e2e_no_overlay || fail "$W x $H: Space left the overlay open"
}

check_opening 1024 768 '#5a7a9a'
rel_set_screen 1600 1200
check_opening 1600 1200 '#7a5a9a'
rel_set_screen 800 600
check_opening 800 600 '#9a7a5a'
e2e_alive || fail "the program ended"
kill "$MORVANE_PID"
e2e_wait_exit 10
# A fresh X server and window manager in place of the first ones.
for p in "${E2E_PIDS[@]}"; do kill "$p" 2>/dev/null; done
for p in "${E2E_PIDS[@]}"; do wait "$p" 2>/dev/null; done
E2E_PIDS=()

# 8 bits a pixel: no overlay, the icon back, one line that says why, no paint errors.
e2e_start_x 1024x768 96 8
W=1024 H=768
e2e_start_with_icon
for round in 1 2; do
  read -r cx cy < <(e2e_tray_center) || fail "8-bit screen: no tray icon to press ($round)"
  xdotool mousemove "$cx" "$cy" click 1
  sleep 1
  e2e_no_overlay || fail "8-bit screen: an overlay opened"
  e2e_wait_tray_icon 5 || fail "8-bit screen: the tray icon did not come back"
done
e2e_alive || fail "8-bit screen: the program ended"
[ "$(grep -c 'bits a pixel' "$E2E_ROOT/morvane.log")" = 1 ] ||
  fail "8-bit screen: not said once: $(cat "$E2E_ROOT/morvane.log")"
grep -q QPainter "$E2E_ROOT/morvane.log" && fail "8-bit screen: paint errors: $(cat "$E2E_ROOT/morvane.log")"
pass "1024x768, 1600x1200 and 800x600 in turn; an 8-bit screen refused once"
