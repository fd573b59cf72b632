#!/usr/bin/env bash
# The overlay at 120 dpi (12 twips per pixel) with a fractional toolkit scale:
# surfaces stay in device pixels and strokes still land under the pointer.
# Then the floating icon and the settings dialog on desktops that Xft.dpi scales
# by 1.5 and 2: the icon grows with the scale, round with its whole face, and
# the dialog opens centred and wholly on screen.
MORVANE_ENV=QT_SCALE_FACTOR=1.5 bash "$(dirname "$0")/test_overlay.sh" 1280x800 120 || exit 1

source "$(dirname "$0")/lib.sh"
e2e_start_x 1920x1080
DESK="90 122 154"
dialog_window() { e2e_window_named 'の設定'; }
no_dialog() { [ -z "$(dialog_window)" ]; }
export -f dialog_window
px() { # x y: "r g b" of the last screenshot
  /usr/bin/convert "$shot" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | tail -n1 |
    sed -E 's/^[^(]*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

for dpi in 144 192; do
  echo "Xft.dpi: $dpi" | xrdb -merge
  printf '[Section]\nForm_Left=6000\nForm_Top=3000\nTry_Out=True\n' >"$INI"
  e2e_start_morvane
  # 6000 and 3000 twips at 1440/dpi twips per pixel; 22 pixels at 96 dpi, scaled.
  x=$((6000 * dpi / 1440)) y=$((3000 * dpi / 1440)) s=$((22 * dpi / 96))
  wait_for 10 e2e_icon_at $x $y $s || fail "$dpi dpi: no ${s}-pixel icon at $x,$y: '$(e2e_small_windows)'"
  sleep 0.3
  shot=$(e2e_shot icon_$dpi)
  # Round: corners cut, edge midpoints kept; whole: the face ends before the
  # window does, leaving the dark strip on the right and at the bottom.
  for c in "$x $y" "$((x + s - 1)) $y" "$x $((y + s - 1))" "$((x + s - 1)) $((y + s - 1))"; do
    [ "$(px $c)" = "$DESK" ] || fail "$dpi dpi: corner $c is not cut away: $(px $c)"
  done
  for c in "$((x + s / 2)) $y" "$x $((y + s / 2))" "$((x + s / 2)) $((y + s - 1))"; do
    [ "$(px $c)" != "$DESK" ] || fail "$dpi dpi: the icon's edge at $c is cut away"
  done
  [ "$(px $((x + s - 1)) $((y + s / 2)))" = "128 128 128" ] || fail "$dpi dpi: no dark strip on the right"
  [ "$(px $((x + s / 2)) $((y + s - 1)))" = "128 128 128" ] || fail "$dpi dpi: no dark strip below"
  [ "$(px $((x + s * 17 / 22)) $((y + s * 4 / 22)))" = "192 192 192" ] || fail "$dpi dpi: no light-grey face"

  # The dialog from the icon's menu: centred, whole, at the scaled size.
  xdotool mousemove $((x + s / 2)) $((y + s / 2)) click 3
  sleep 0.5
  xdotool key Down Down Return
  wait_for 10 dialog_window || fail "$dpi dpi: the dialog did not open"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$(dialog_window)")"
  w=$(((729 * dpi + 48) / 96)) h=$(((397 * dpi + 48) / 96))
  [ $((WIDTH - w)) -ge -1 ] && [ $((WIDTH - w)) -le 1 ] && [ $((HEIGHT - h)) -ge -1 ] &&
    [ $((HEIGHT - h)) -le 1 ] || fail "$dpi dpi: the dialog is ${WIDTH}x$HEIGHT, not ${w}x$h"
  dx=$((X - (1920 - WIDTH) / 2)) dy=$((Y - (1080 - HEIGHT) / 2))
  [ $dx -ge -1 ] && [ $dx -le 1 ] && [ $dy -ge -1 ] && [ $dy -le 1 ] ||
    fail "$dpi dpi: the dialog at $X,$Y is not centred"
  shot=$(e2e_shot dialog_$dpi)
  # Its far corner is the dialog's, not the desktop's.
  [ "$(px $((X + WIDTH - 2)) $((Y + HEIGHT - 2)))" != "$DESK" ] || fail "$dpi dpi: the dialog is cut"
  # "ｷｬﾝｾﾙ" at (502, 362) of the dialog's own pixels.
  xdotool mousemove $((X + 502 * dpi / 96)) $((Y + 362 * dpi / 96)) click 1
  wait_for 5 no_dialog || fail "$dpi dpi: Cancel did not close the dialog"
  kill -TERM "$MORVANE_PID"
  e2e_wait_exit 10 || fail "$dpi dpi: the program did not end"
done
pass "the overlay at 120 dpi, the icon and the dialog at 144 and 192 dpi"
