#!/usr/bin/env bash
# A short guided tour of Morvane on a private virtual display (Xvfb + icewm with
# its tray), played with real mouse and key events. Each stage is saved as a
# numbered screenshot in out/tour/.
#
#   scripts/tour.sh [path/to/morvane] [--docs]
#
# --docs also refreshes the pictures of README.md and the help page in
# docs/images/ (cropped and scaled so that the repository stays small).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
docs=0
bin=
for a in "$@"; do
  case "$a" in
    --docs) docs=1 ;;
    *) bin=$a ;;
  esac
done
bin=${bin:-$repo/build/morvane}
[ -x "$bin" ] || { echo "tour: $bin is not built (run make)" >&2; exit 1; }

export MORVANE_BIN=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
export MORVANE_HELP=$(dirname "$MORVANE_BIN")/Morvane.html
export E2E_OUT=$repo/out/tour
mkdir -p "$E2E_OUT"
rm -f "$E2E_OUT"/[0-9][0-9]_*.png
# The e2e harness gives the display, the window manager, the tray and a private
# program folder; its exit trap stops exactly what it started.
source "$repo/tests/e2e/lib.sh"
E2E_NAME=tour
CONVERT=/usr/bin/convert # some machines put a stand-in first on PATH

W=1280
H=800
SHOT_NO=0
shot() { # name - numbered screenshot
  SHOT_NO=$((SHOT_NO + 1))
  local f
  f=$(printf '%02d_%s' "$SHOT_NO" "$1")
  e2e_shot "$f" >/dev/null
  echo "  $E2E_OUT/$f.png  $2"
}

# A desktop worth drawing on: a slide open in a viewer window.
desktop_picture() {
  local font
  font=$(fc-match -f '%{file}' 'IPAPGothic' 2>/dev/null)
  [ -f "$font" ] || font=DejaVu-Sans
  "$CONVERT" -size ${W}x$H gradient:'#2c5364'-'#0f2027' \
    -fill '#00000055' -draw 'rectangle 148,78 1148,688' \
    -fill white -draw 'rectangle 140,70 1140,680' \
    -fill '#3b4252' -draw 'rectangle 140,70 1140,100' \
    -font "$font" -fill white -pointsize 16 -draw "text 154,91 '売上報告.pdf — ビューア'" \
    -fill '#e06c75' -draw 'circle 1120,85 1126,85' \
    -fill '#1f2d3d' -pointsize 40 -draw "text 200,170 '2024年度 売上の推移'" \
    -fill '#4c566a' -pointsize 22 -draw "text 210,230 '・第3四半期に新製品が好調'" \
    -draw "text 210,270 '・海外の売上が前年比 +18%'" -draw "text 210,310 '・第4四半期は在庫調整で横ばい'" \
    -stroke '#1f2d3d' -strokewidth 2 -draw 'line 640,620 1080,620' -draw 'line 640,620 640,380' \
    -stroke none -fill '#5e81ac' -draw 'rectangle 670,540 730,619' -draw 'rectangle 770,500 830,619' \
    -fill '#d08770' -draw 'rectangle 870,400 930,619' -fill '#5e81ac' -draw 'rectangle 970,410 1030,619' \
    -fill '#1f2d3d' -pointsize 20 -draw "text 685,648 'Q1'" -draw "text 785,648 'Q2'" \
    -draw "text 885,648 'Q3'" -draw "text 985,648 'Q4'" \
    -fill '#4c566a' -pointsize 18 -draw "text 210,420 '売上高（億円）'" \
    -pointsize 28 -fill '#1f2d3d' -draw "text 210,470 'Q1  12.4'" -draw "text 210,510 'Q2  15.1'" \
    -draw "text 210,550 'Q3  21.8'" -draw "text 210,590 'Q4  21.2'" \
    "$E2E_ROOT/desktop.png"
}

dialog_window() { e2e_window_named 'の設定'; }
# The floating icon: a small window above the task bar (the tray icon is in it).
floating_icon() { e2e_small_windows | awk -v h=$((H - 40)) '$2 < h {print; found=1} END {exit !found}'; }

# Points of an ellipse: centre x, y, radii rx, ry.
ellipse() {
  awk -v cx="$1" -v cy="$2" -v rx="$3" -v ry="$4" 'BEGIN {
    for (i = 0; i <= 40; i++) { a = -1.2 + i * 6.6 / 40; printf "%d,%d ", cx + rx * cos(a), cy + ry * sin(a) } }'
}
# Points of a straight line in n steps.
line() {
  awk -v x0="$1" -v y0="$2" -v x1="$3" -v y1="$4" 'BEGIN {
    for (i = 0; i <= 12; i++) printf "%d,%d ", x0 + (x1 - x0) * i / 12, y0 + (y1 - y0) * i / 12 }'
}
tray_menu() {
  local cx cy
  read -r cx cy < <(e2e_tray_center) || fail "no tray icon"
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.5
}

echo "Morvane tour on a virtual display (${W}x$H)..."
e2e_start_x ${W}x$H
desktop_picture || fail "could not draw the desktop picture"
# display(1) sets the root picture and exits non-zero all the same: look at a pixel.
display -window root "$E2E_ROOT/desktop.png" >/dev/null 2>&1
[ "$(e2e_pixel 300 160)" = "255 255 255" ] || fail "could not set the desktop picture"
wait_for 10 e2e_tray_ready || fail "icewm's tray has no owner"
e2e_start_morvane
if ! e2e_wait_tray_icon 10; then
  # On a busy machine the icon is now and then never embedded: one fresh start.
  kill "$MORVANE_PID" 2>/dev/null
  e2e_wait_exit 5
  e2e_start_morvane
  e2e_wait_tray_icon 15 || fail "no tray icon appeared"
fi
xdotool mousemove 1000 740
sleep 0.3

# 1. The tray icon's menu.
tray_menu
shot tray_menu "the tray icon's menu (right-click)"
xdotool key Escape
sleep 0.3

# 2. Drawing over the frozen desktop with several pens.
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" mousedown 1
wait_for 5 e2e_overlay_window || fail "the tray press opened no overlay"
xdotool mouseup 1
sleep 0.4
# F1 green pen: a ring round the best quarter.
e2e_drag $(ellipse 900 505 75 130)
# F3 red highlighter over a line of text, F4 yellow highlighter under a figure.
xdotool key F3
e2e_drag $(line 212 262 488 262)
e2e_drag $(line 212 268 488 268)
xdotool key F4
for y in 532 536 540 544 548; do e2e_drag $(line 206 $y 330 $y); done
# F2 blue highlighter under the title.
xdotool key F2
e2e_drag $(line 198 186 590 186)
# F9 teal dash-dot-dot and F8 red dash-dot pens, 1 pixel: an arrow to the ring.
xdotool key F9
e2e_drag $(line 340 545 820 470)
xdotool key F8
e2e_drag 820,470 800,466
e2e_drag 820,470 806,482
xdotool key F1
xdotool mousemove 1200 740
sleep 0.3
shot overlay_pens "strokes of six pens; F2, F3, F4 are highlighters"

# 3. A slip of the pen, and Left takes it back.
e2e_drag $(line 700 250 1000 330) $(line 1000 330 720 360)
sleep 0.2
shot before_undo "a stroke too many"
xdotool key Left
sleep 0.4
shot after_undo "after Left: one step undone"

# 4. The plain board (F10) with a sketch; F11 brings the slide back.
xdotool key F10
sleep 0.3
e2e_drag 200,200 500,200 500,400 200,400 200,200
e2e_drag 700,200 1000,200 1000,400 700,400 700,200
xdotool key F3
e2e_drag $(line 510 300 690 300)
e2e_drag 690,300 660,285
e2e_drag 690,300 660,315
xdotool key F2
e2e_drag $(line 210 500 1000 500)
xdotool key F7
e2e_drag $(ellipse 350 300 120 60)
xdotool key F1
xdotool mousemove 1200 740
sleep 0.3
shot board "the plain board (F10) with a sketch"
xdotool key F11 space
wait_for 5 e2e_no_overlay || fail "Space left the overlay open"
e2e_wait_tray_icon 10 || fail "Space did not bring the tray icon back"
sleep 0.3

# 5. The settings dialog, the reference card of every command.
tray_menu
xdotool key Down Down Return
wait_for 10 dialog_window || fail "the settings dialog did not open"
sleep 0.8
xdotool mousemove 1200 20
sleep 0.2
shot settings "the settings dialog (設定変更...)"
eval "$(xdotool getwindowgeometry --shell "$(dialog_window)")"
xdotool mousemove $((X + 502)) $((Y + 362)) click 1 # ｷｬﾝｾﾙ
wait_for 5 e2e_no_window_named 'の設定' ||
  fail "Cancel did not close the dialog"
sleep 0.3

# 6. The floating icon, for desktops without a tray.
tray_menu
xdotool key Up Up Return # ｱｲｺﾝをﾀｽｸﾄﾚｲの外に
wait_for 10 floating_icon || fail "no floating icon"
sleep 0.5
read -r fx fy _ < <(floating_icon)
xdotool mousemove $((fx + 11)) $((fy + 11)) click 3
sleep 0.5
shot floating "the floating icon and its menu (ｱｲｺﾝをﾀｽｸﾄﾚｲの外に)"

# End in order: the menu's last item, 終了.
xdotool key Up Return
e2e_wait_exit 10 || fail "the menu's exit did not end the program"
[ "$(ini_get Section Try_Out)" = True ] || fail "the settings were not written on exit"
echo "Tour done: $SHOT_NO screenshots in $E2E_OUT/"

if [ $docs -eq 1 ]; then
  img=$repo/docs/images
  mkdir -p "$img"
  o=$E2E_OUT
  # 256 colours without dithering: the shots are flat colours, the files stay small.
  q=(-dither None -colors 256 -strip -define png:compression-level=9)
  "$CONVERT" "$o/01_tray_menu.png" -crop 420x260+860+540 +repage "${q[@]}" "$img/tray_menu.png"
  "$CONVERT" "$o/02_overlay_pens.png" -crop 1000x610+140+70 +repage -resize 800x "${q[@]}" "$img/overlay_pens.png"
  # Before and after the undo, side by side with a gap.
  "$CONVERT" \( "$o/03_before_undo.png" -crop 520x440+600+200 +repage \) \
    \( -size 16x440 xc:white \) \( "$o/04_after_undo.png" -crop 520x440+600+200 +repage \) \
    +append -resize 700x "${q[@]}" "$img/undo.png"
  "$CONVERT" "$o/05_board.png" -crop 960x480+120+120 +repage -resize 640x -bordercolor "#b0b8c4" -border 1 "${q[@]}" "$img/board.png"
  "$CONVERT" "$o/06_settings.png" -crop 733x401+273+199 +repage "${q[@]}" "$img/settings.png"
  "$CONVERT" "$o/07_floating.png" -crop 360x250+920+0 +repage "${q[@]}" "$img/floating.png"
  ls -l "$img"
fi
exit 0
