#!/usr/bin/env bash
# The drawing overlay on a real display: a tray press freezes the screen, a drag
# leaves pen pixels, keys undo, change pens and show the board; Space goes back
# to the tray and Esc ends the program. Screen size and dpi may be given.
source "$(dirname "$0")/lib.sh"

SIZE=${1:-1024x768}
DPI=${2:-96}
W=${SIZE%x*}
H=${SIZE#*x}
e2e_start_x "$SIZE" "$DPI"
HOME_DIR=$E2E_ROOT/home
mkdir -p "$HOME_DIR"
e2e_start_with_icon HOME="$HOME_DIR" XDG_CONFIG_HOME="$HOME_DIR/.config" ${MORVANE_ENV:-}

pixel_is() { # x y "r g b" what
  local got
  got=$(e2e_pixel "$1" "$2")
  [ "$got" = "$3" ] || fail "$4: pixel ($1, $2) is '$got', expected '$3'"
}
# Blanks a rectangle "x0,y0 x1,y1" of a screenshot so that comparisons skip it.

open_overlay() {
  read -r cx cy < <(e2e_tray_center) || fail "no tray icon to press"
  eval "$(xdotool getwindowgeometry --shell "$(e2e_tray_window)")"
  ICON="$((X - 2)),$((Y - 2)) $((X + WIDTH + 2)),$((Y + HEIGHT + 2))"
  xdotool mousemove "$cx" "$cy" mousedown 1
  wait_for 5 e2e_overlay_window || fail "the tray press opened no full-screen overlay"
  xdotool mouseup 1
  sleep 0.4
}

DESK="90 122 154" # #5a7a9a
xdotool mousemove $((W / 2)) $((H / 3))
sleep 0.3
before=$(e2e_shot before)
open_overlay
e2e_tray_window >/dev/null && fail "the tray icon is still there while drawing"
after=$(e2e_shot opened)
# The frozen screen is the desktop as it was, apart from the dot and the vanished icon.
for f in "$before" "$after"; do
  e2e_blank "$f" "0,0 16,16"
  e2e_blank "$f" "$ICON"
done
diff=$(/usr/bin/compare -metric AE "$before" "$after" null: 2>&1)
[ "$diff" = "0" ] || fail "the frozen screen differs from the desktop in $diff pixels"
pixel_is 6 6 "0 255 0" "the dot of pen 1"
pixel_is 20 20 "$DESK" "beside the dot"

# A drag in pen 1 (green, 6 px), then undo.
e2e_drag 200,300 300,300 400,300 400,400
e2e_shot drawn >/dev/null
pixel_is 300 300 "0 255 0" "the stroke"
pixel_is 400 350 "0 255 0" "the stroke's second leg"
# Under the pointer to the pixel: 6 px wide around row 300, ending round at x 200.
pixel_is 300 298 "0 255 0" "the stroke's upper half"
pixel_is 300 302 "0 255 0" "the stroke's lower half"
pixel_is 300 294 "$DESK" "above the stroke"
pixel_is 300 306 "$DESK" "below the stroke"
pixel_is 195 300 "$DESK" "before the stroke's start"
xdotool key Left
sleep 0.3
pixel_is 300 300 "$DESK" "after Left"

# Shift+drag: a straight line from the press to the release, nothing of the way.
e2e_drag_holding shift 200,300 500,450 400,300
pixel_is 300 300 "0 255 0" "the straight line"
pixel_is 450 375 "$DESK" "where the line was on the way"
# Ctrl+Shift+drag: an arrow, its head at the release point.
e2e_drag_holding ctrl+shift 200,400 400,400
pixel_is 300 400 "0 255 0" "the arrow's shaft"
pixel_is 390 394 "0 255 0" "the arrow's head"
pixel_is 210 394 "$DESK" "no head at the arrow's start"
e2e_shot shapes >/dev/null
# T types at the pointer; Esc ends the text, not the program.
xdotool mousemove 600 550
sleep 0.1
xdotool key t
xdotool type --delay 30 "Morvane T"
sleep 0.3
xdotool key Escape
sleep 0.3
e2e_alive || fail "Esc while typing ended the program"
e2e_overlay_window >/dev/null || fail "Esc while typing closed the overlay"
e2e_shot text >/dev/null
n=$(e2e_count 300x60+600+550 "0 255 0")
[ "$n" -gt 80 ] || fail "the typed text left $n pen pixels"
# Ctrl+S: a PNG of the picture in the private home's Pictures folder.
xdotool key ctrl+s
wait_for 5 bash -c "ls '$HOME_DIR'/Pictures/Morvane/*.png" || fail "Ctrl+S wrote no PNG"
e2e_shot saved >/dev/null
png=$(ls "$HOME_DIR"/Pictures/Morvane/*.png | head -n1)
got=$(/usr/bin/convert "$png[1x1+300+300]" -depth 8 txt:- | tail -n1)
[[ "$got" == *"(0,255,0)"* || "$got" == *"(0, 255, 0)"* ]] || fail "the saved PNG lacks the line: $got"
for k in Left Left Left; do xdotool key $k; sleep 0.2; done

# F3: the red highlighter masks the desktop colour; the dot follows.
xdotool key F3
e2e_drag 200,500 500,500
pixel_is 6 6 "255 0 0" "the dot of pen 3"
pixel_is 350 500 "90 0 0" "the highlighter over the desktop"

# F10: the blank board, drawn on in pen 1; F11 shows the overlay unchanged.
xdotool key F10
sleep 0.3
pixel_is 350 500 "255 255 255" "the board"
xdotool key F1
e2e_drag 600,200 700,200
e2e_shot board >/dev/null
pixel_is 650 200 "0 255 0" "a stroke on the board"
pixel_is 6 6 "0 255 0" "the dot above the board"
xdotool key F11
sleep 0.3
pixel_is 350 500 "90 0 0" "the overlay after F11"
pixel_is 650 200 "$DESK" "the overlay where the board was drawn on"

# Space: back to the tray.
xdotool key space
wait_for 5 e2e_no_overlay ||
  fail "Space left the overlay open"
e2e_wait_tray_icon || fail "Space did not bring the tray icon back"
e2e_alive || fail "Space ended the program"

# Esc ends the program and writes the three keys.
open_overlay
pixel_is 350 500 "$DESK" "a fresh capture after reopening"
xdotool key Escape
e2e_wait_exit 10 || fail "Esc did not end the program"
[ -n "$(ini_get Section Form_Left)" ] || fail "Form_Left not written"
[ -n "$(ini_get Section Form_Top)" ] || fail "Form_Top not written"
[ "$(ini_get Section Try_Out)" = "False" ] || fail "Try_Out is '$(ini_get Section Try_Out)'"
pass "$SIZE at $DPI dpi"
