#!/usr/bin/env bash
# The settings dialog from the tray menu: it opens centred at its fixed size,
# edits are saved to the settings file, and save-and-quit writes the pen keys
# before the resident window's three keys and ends the program.
source "$(dirname "$0")/lib.sh"

e2e_start_x 1024x768
e2e_start_morvane
e2e_wait_tray_icon 20 || fail "no tray icon appeared"

dialog_window() { e2e_window_named 'の設定'; }

open_dialog() {
  local cx cy
  read -r cx cy < <(e2e_tray_center)
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.4
  # The menu: "Morvane...", then "設定変更...".
  xdotool key Down Down Return
  wait_for 10 dialog_window || fail "the dialog did not open"
  sleep 0.4
  DLG=$(dialog_window)
  eval "$(xdotool getwindowgeometry --shell "$DLG")"
  DX=$X
  DY=$Y
  [ "$WIDTH" = 729 ] && [ "$HEIGHT" = 397 ] || fail "dialog is ${WIDTH}x${HEIGHT}"
}

# Clicks at a point given in the dialog's client coordinates.
click_at() { xdotool mousemove $((DX + $1)) $((DY + $2)) click "${3:-1}"; sleep 0.15; }

open_dialog
# Centred on the 1024 x 768 screen.
[ $((DX - 147)) -ge -1 ] && [ $((DX - 147)) -le 1 ] || fail "dialog left is $DX"
[ $((DY - 185)) -ge -1 ] && [ $((DY - 185)) -le 1 ] || fail "dialog top is $DY"
e2e_shot dialog_open >/dev/null
# No task bar button for the dialog.
xprop -id "$DLG" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR || fail "dialog is in the task bar"

# While the dialog is open a left press on the tray icon starts nothing.
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 1
sleep 0.3
[ -n "$(dialog_window)" ] || fail "the dialog went away"
e2e_tray_window >/dev/null || fail "the tray icon was taken away while the dialog is open"

# Enter and Esc do nothing.
xdotool key Return Escape
sleep 0.2
[ -n "$(dialog_window)" ] || fail "Enter or Esc closed the dialog"

click_at 270 138 3   # pen 3: semi-transparent off, with the right button
click_at 34 186      # start pen F5
click_at 614 226     # undo break on the Right key
click_at 144 234     # width list of pen 7 (1 px, dotted) ...
xdotool key Down Down Return # ... to 3 px, which makes it solid
sleep 0.2
e2e_shot dialog_edited >/dev/null
click_at 82 362      # 設定変更
wait_for 5 e2e_no_window_named 'の設定' ||
  fail "save did not close the dialog"

[ "$(ini_get F3 DrawMode3)" = 0 ] || fail "DrawMode3 is '$(ini_get F3 DrawMode3)'"
[ "$(ini_get Section First_Kind)" = 5 ] || fail "First_Kind is '$(ini_get Section First_Kind)'"
[ "$(ini_get Section Undo)" = 1 ] || fail "Undo is '$(ini_get Section Undo)'"
[ "$(ini_get F7 BorderWidth7)" = 3 ] || fail "BorderWidth7 is '$(ini_get F7 BorderWidth7)'"
[ "$(ini_get F7 BorderStyle7)" = 1 ] || fail "BorderStyle7 is '$(ini_get F7 BorderStyle7)'"
[ "$(ini_get F6 BorderColor6)" = -2147483640 ] || fail "BorderColor6 is '$(ini_get F6 BorderColor6)'"
[ "$(ini_get F2 DrawMode2)" = 1 ] || fail "DrawMode2 is '$(ini_get F2 DrawMode2)'"
e2e_alive || fail "saving ended the program"

# The overlay draws with what was saved: start pen F5 (white), and F3 now opaque.
e2e_wait_tray_icon || fail "no tray icon after saving"
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 1
sleep 0.6
stroke() { # y: a horizontal drag across the middle of the screen
  xdotool mousemove 300 "$1" mousedown 1
  for x in 350 400 450 500; do sleep 0.05; xdotool mousemove "$x" "$1"; done
  sleep 0.05
  xdotool mouseup 1
  sleep 0.3
}
stroke 300
[ "$(e2e_pixel 400 300)" = "255 255 255" ] || fail "start pen F5 drew '$(e2e_pixel 400 300)'"
xdotool key F3
stroke 350
[ "$(e2e_pixel 400 350)" = "255 0 0" ] || fail "opaque F3 drew '$(e2e_pixel 400 350)'"
xdotool key space

# Reopened, the dialog shows what was saved; save-and-quit ends the program.
e2e_wait_tray_icon || fail "no tray icon after the dialog"
open_dialog
e2e_shot dialog_reopened >/dev/null
click_at 642 362     # 保存して終了
e2e_wait_exit 10 || fail "save-and-quit did not end the program"
[ "$(ini_get Section Try_Out)" = False ] || fail "Try_Out is '$(ini_get Section Try_Out)'"
# The dialog's two keys come first in [Section], the resident window's three after them.
order=$(awk '/^\[/{s=$0} s=="[Section]" && /=/{sub(/=.*/,""); printf "%s ", $0}' "$INI")
[ "$order" = "First_Kind Undo Form_Left Form_Top Try_Out " ] || fail "key order: $order"
# F3 in the overlay made pen 3 current, which the reopened dialog offers and saves.
[ "$(ini_get Section First_Kind)" = 3 ] || fail "quit wrote First_Kind $(ini_get Section First_Kind)"
pass
