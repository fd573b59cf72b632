#!/usr/bin/env bash
# The resident program in the tray: icon embedded, menu on right release,
# one instance only, and the three keys written on exit and on SIGTERM. Then
# the ways in besides the icons: commands from a second process (of this user
# only) and the global key, held by one program at a time.
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

# --- Commands from a second process, and the default global key.
W=1024 H=768
rm -f "$INI"
e2e_start_with_icon
cmd() { (cd "$APPDIR" && timeout 10 ./morvane "$@" 2>>"$E2E_ROOT/cmd.log"); }
dialog_window() { xdotool search --onlyvisible --name 'の設定' 2>/dev/null | head -n1; }
cmd --draw || fail "--draw ended with status $?"
wait_for 5 e2e_overlay_window || fail "--draw opened no overlay"
cmd --draw || fail "a second --draw ended with status $?"
cmd --toggle || fail "--toggle ended with status $?"
wait_for 5 e2e_no_overlay || fail "--toggle did not end drawing"
e2e_wait_tray_icon 5 || fail "--toggle did not bring the tray icon back"
sleep 0.3
e2e_no_overlay || fail "the second --draw opened a second overlay"
xdotool key ctrl+alt+shift+d
wait_for 5 e2e_overlay_window || fail "Ctrl+Alt+Shift+D opened no overlay"
xdotool key ctrl+alt+shift+d
wait_for 5 e2e_no_overlay || fail "Ctrl+Alt+Shift+D did not end drawing"
e2e_wait_tray_icon 5 || fail "no tray icon after the key"
cmd --settings || fail "--settings ended with status $?"
wait_for 5 dialog_window || fail "--settings opened no dialog"
# While the dialog is open commands are ignored, as the icons ignore the mouse.
cmd --toggle && cmd --quit || fail "a command to the busy program failed"
sleep 0.5
e2e_alive && e2e_no_overlay || fail "a command acted while the settings dialog was open"
eval "$(xdotool getwindowgeometry --shell "$(dialog_window)")"
xdotool mousemove $((X + 82)) $((Y + 362)) click 1 # 設定変更: saves and closes
wait_for 5 bash -c "! xdotool search --onlyvisible --name 'の設定'" || fail "the dialog did not close"

# Another user can neither command the program nor reach its socket, even when
# the folder is opened to them: the program checks who is at the other end.
pub=$(mktemp -d /tmp/morvane-pub.XXXXXX) && chmod 755 "$pub" && install -m 755 "$MORVANE_BIN" "$pub/morvane"
runuser -u nobody -- env HOME=/nonexistent XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISPLAY="$DISPLAY" \
  timeout 10 "$pub/morvane" --quit >/dev/null 2>&1 && fail "another user's --quit reported success"
chmod 711 "$E2E_ROOT" "$XDG_RUNTIME_DIR" && chmod 666 "$XDG_RUNTIME_DIR/morvane.sock"
answer=$(runuser -u nobody -- python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(3)
s.connect(sys.argv[1])
try:
    s.sendall(b"quit\n")
    print(s.recv(16).decode() or "closed")
except OSError:
    print("closed")' "$XDG_RUNTIME_DIR/morvane.sock" 2>&1)
chmod 700 "$E2E_ROOT" "$XDG_RUNTIME_DIR"
rm -rf "$pub"
sleep 0.5
e2e_alive || fail "another user ended the program (answer: $answer)"
[ "$answer" = closed ] || fail "another user's connection was answered: $answer"

# A second instance (another session's folder) finds the key taken: one line, and its tray works.
mkdir -m 700 -p "$E2E_ROOT/run2" "$E2E_ROOT/app2" && cp "$MORVANE_BIN" "$E2E_ROOT/app2/morvane"
(cd "$E2E_ROOT/app2" && exec env XDG_RUNTIME_DIR="$E2E_ROOT/run2" ./morvane >"$E2E_ROOT/second.log" 2>&1) &
E2E_PIDS+=($!)
wait_for 10 bash -c "[ \$(xdotool search --onlyvisible --classname morvane | wc -l) -ge 2 ]" ||
  fail "the second instance shows no tray icon"
sleep 0.3
[ "$(wc -l <"$E2E_ROOT/second.log")" = 1 ] && grep -q "Ctrl+Alt+Shift+D is taken" "$E2E_ROOT/second.log" ||
  fail "the second instance said: $(cat "$E2E_ROOT/second.log")"
kill "${E2E_PIDS[-1]}"

cmd --quit || fail "--quit ended with status $?"
e2e_wait_exit 10 || fail "--quit did not end the program"
[ "$(ini_get Section Try_Out)" = False ] && [ "$(ini_get Section Form_Top)" = 200 ] ||
  fail "--quit did not write the keys: $(cat "$INI")"
cmd --quit && fail "--quit with no program running reported success"
grep -q "no instance is running" "$E2E_ROOT/cmd.log" || fail "--quit alone said: $(cat "$E2E_ROOT/cmd.log")"

# Hot_Key= (empty) holds no key: the next program gets it.
printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_with_icon
(cd "$E2E_ROOT/app2" && exec env XDG_RUNTIME_DIR="$E2E_ROOT/run2" ./morvane >"$E2E_ROOT/second.log" 2>&1) &
E2E_PIDS+=($!)
wait_for 10 bash -c "[ \$(xdotool search --onlyvisible --classname morvane | wc -l) -ge 2 ]" ||
  fail "the second instance shows no tray icon"
xdotool key ctrl+alt+shift+d
wait_for 5 e2e_overlay_window || fail "the key reached no program"
[ -s "$E2E_ROOT/second.log" ] && fail "with Hot_Key= the key was still held: $(cat "$E2E_ROOT/second.log")"
pass "tray, commands and the global key"
