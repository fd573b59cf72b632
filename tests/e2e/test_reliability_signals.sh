#!/usr/bin/env bash
# SIGTERM (and SIGHUP, SIGINT) in the middle of things: in the middle of a stroke
# on the overlay, inside the settings dialog's modal loop, the colour chooser's
# on top of it, the help message box's and the tray menu's. Each ends the program promptly and in order: status 0, the tray icon
# gone, the resident window's three keys written and nothing else in the file lost.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/reliability_lib.sh"

W=1024
H=768
e2e_start_x ${W}x${H}

seed_ini() {
  printf '; kept by hand\r\n[Section]\r\nForm_Left=1234\r\nForm_Top=567\r\nTry_Out=True\r\n[Mine]\r\nforeign=1\r\n' >"$INI"
}

# Sends a signal and checks the orderly end.
end_with() { # signal what
  kill -s "$1" "$MORVANE_PID"
  e2e_wait_exit 10
  local rc=$?
  [ "$rc" = 124 ] && fail "$2: $1 did not end the program"
  [ "$rc" = 0 ] || fail "$2: ended with status $rc"
  [ "$(ini_get Section Form_Left)" = 1234 ] || fail "$2: Form_Left is '$(ini_get Section Form_Left)'"
  [ "$(ini_get Section Form_Top)" = 567 ] || fail "$2: Form_Top is '$(ini_get Section Form_Top)'"
  [ "$(ini_get Section Try_Out)" = False ] || fail "$2: Try_Out is '$(ini_get Section Try_Out)'"
  [ "$(ini_get Mine foreign)" = 1 ] || fail "$2: a foreign key was lost"
  grep -q '^; kept by hand' "$INI" || fail "$2: a comment was lost"
  e2e_tray_window >/dev/null && fail "$2: the tray icon stayed"
  return 0
}

start() {
  seed_ini
  # Try_Out=True would start the floating icon: the tray is what is tested here.
  sed -i 's/^Try_Out=True/Try_Out=False/' "$INI"
  e2e_start_with_icon "$@"
  # The file must say True at the end only if the program wrote it: make it differ.
  sed -i 's/^Try_Out=False/Try_Out=True/' "$INI"
}

# 1. In the middle of a stroke: the button is still down.
start
rel_open_overlay
xdotool mousemove 200 300 mousedown 1 mousemove 300 320 sleep 0.1 mousemove 400 330
sleep 0.2
end_with TERM "while drawing"
xdotool mouseup 1

# 2. Inside the settings dialog's modal loop.
start
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 3
sleep 0.4
xdotool key Down Down Return
wait_for 10 e2e_window_named 'の設定' ||
  fail "the settings dialog did not open"
sleep 0.3
end_with TERM "in the settings dialog"

# 2b. Inside the colour chooser, opened from the settings dialog's first pen.
start
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 3
sleep 0.4
xdotool key Down Down Return
dialog_window() { xdotool search --onlyvisible --name 'の設定' 2>/dev/null | head -n1; }
wait_for 10 bash -c "$(declare -f dialog_window); [ -n \"\$(dialog_window)\" ]" ||
  fail "the settings dialog did not open"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$(dialog_window)")"
# The first pen's colour button, in the frameless dialog's own pixels.
xdotool mousemove $((X + 100)) $((Y + 90)) click 1
wait_for 10 bash -c "[ -n \"\$(xdotool search --onlyvisible --name '色の設定' 2>/dev/null)\" ]" ||
  fail "the colour chooser did not open"
sleep 0.3
end_with TERM "in the colour chooser"

# 2c. Inside the help message box: nothing on PATH can open the page.
mkdir -p "$E2E_ROOT/nobin"
start PATH="$E2E_ROOT/nobin"
box_open() { [ -n "$(xdotool search --onlyvisible --name '^Morvane$' 2>/dev/null)" ]; }
box_open && fail "a window named Morvane is up before the help box"
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 3
sleep 0.4
xdotool key Down Down Down Return
wait_for 10 box_open || fail "the help message box did not open"
sleep 0.3
end_with TERM "in the help message box"

# 3. Inside the tray menu, and the other two signals.
start
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 3
menu_open() { [ "$(xdotool search --onlyvisible --classname morvane 2>/dev/null | wc -l)" -ge 2 ]; }
wait_for 5 menu_open || fail "the tray menu did not open"
sleep 0.2
end_with HUP "in the tray menu"
start
end_with INT "in the tray"

# 4. During the floating icon's slide out of the tray ("ｱｲｺﾝをﾀｽｸﾄﾚｲの外に").
start
read -r cx cy < <(e2e_tray_center)
xdotool mousemove "$cx" "$cy" click 3
wait_for 5 menu_open || fail "the tray menu did not open"
sleep 0.2
xdotool key Up Up Return
sleep 0.05
kill -s TERM "$MORVANE_PID"
e2e_wait_exit 10
rc=$?
[ "$rc" = 0 ] || fail "during the slide: ended with status $rc"
# The switch had begun: floating mode is what the next start shows, at the stored place.
[ "$(ini_get Section Try_Out)" = True ] || fail "during the slide: Try_Out is '$(ini_get Section Try_Out)'"
[ "$(ini_get Section Form_Left)" = 1234 ] || fail "during the slide: Form_Left is '$(ini_get Section Form_Left)'"
[ "$(ini_get Mine foreign)" = 1 ] || fail "during the slide: a foreign key was lost"
pass "TERM while drawing, in the dialog, the colour chooser, the help box and during the slide, HUP in the menu, INT in the tray"
