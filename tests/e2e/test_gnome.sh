#!/usr/bin/env bash
# GNOME Shell 43 (headless mutter, XWayland; a watcher stand-in for the tray,
# which GNOME lacks) with its real screenshot portal. The first drawing asks
# "Allow Applications to Take Screenshots?": nothing of Morvane covers the
# question, however long it stays; after Allow the overlay opens with the
# picture and the keyboard, without a click, also from the tray's menu. A
# second user's Deny: a message, no overlay, the tray item back once it is read.
source "$(dirname "$0")/lib.sh"
e2e_as_wayland_user "$0" "$@"

RED="204 0 0" GREEN="0 255 0"
e2e_start_gnome 1280x800
e2e_start_sni_watcher
e2e_start_gnome_portal
# "r g b" at X Y of the shell's own screenshot (the top bar, native windows, XWayland's).
n_shot=0
shell_pixel() {
  n_shot=$((n_shot + 1))
  local f=$E2E_ROOT/px$n_shot.png
  e2e_gnome shot "$f" || return 1
  /usr/bin/convert "$f" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 |
    sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
  rm -f "$f"
}
pixel_is() { [ "$(shell_pixel "$1" "$2")" = "$3" ]; }
shot() { e2e_gnome shot "$E2E_OUT/$1.png" || fail "no screenshot $1"; }
# The program's visible X windows, one per line: "ID WIDTHxHEIGHT NAME".
x_windows() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    echo "$w $(xdotool getwindowgeometry "$w" | awk '/Geometry/ {print $2}') $(xdotool getwindowname "$w")"
  done
}
no_x_window() { [ -z "$(x_windows)" ]; }
overlay() { xdotool search --onlyvisible --classname morvane 2>/dev/null | while read -r w; do
  [ "$(xdotool getwindowgeometry "$w" | awk '/Geometry/ {print $2}')" = "${W}x$H" ] && echo "$w"; done | grep .; }
focused_overlay() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(overlay)" ]; }
store() {
  busctl --user call org.freedesktop.impl.portal.PermissionStore /org/freedesktop/impl/portal/PermissionStore \
    org.freedesktop.impl.portal.PermissionStore "$@"
}
activate() { e2e_sni_call "$(e2e_sni_item)" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"; }

# A native window of a known colour, with the keyboard.
GDK_BACKEND=wayland python3 "$(dirname "$0")/wl_window.py" '#cc0000' 1000 600 >"$E2E_ROOT/window.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 30 pixel_is 640 420 "$RED" || fail "the GTK window did not appear: $(cat "$E2E_ROOT/window.log")"
store Lookup ss screenshot screenshot >/dev/null 2>&1 && fail "the permission store is not empty: $(store Lookup ss screenshot screenshot)"

printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1
wait_for 15 e2e_sni_item || fail "no tray item: $(cat "$E2E_ROOT/morvane.log")"
activate
# The question, and past the usual 3 s still nothing of Morvane over it.
question_up() { [ "$(shell_pixel 200 420)" != "$RED" ]; }
wait_for 20 question_up || fail "no question appeared"
wait_for 20 grep -q portal-asks "$E2E_ROOT/morvane.log" || fail "the wait was not lengthened: $(cat "$E2E_ROOT/morvane.log")"
shot question
question_up || fail "the question went after 3 s"
no_x_window || fail "a window of Morvane over the question: $(x_windows)"
grep -q "capture failed" "$E2E_ROOT/morvane.log" && fail "the capture gave up: $(cat "$E2E_ROOT/morvane.log")"

# Allow (Tab from Deny to Allow, Return): the overlay, with the picture, the dot and the keyboard.
e2e_gnome key 0xff09 && e2e_gnome key 0xff0d || fail "the keys did not reach the shell"
wait_for 20 overlay || fail "no overlay after Allow: $(x_windows) $(cat "$E2E_ROOT/morvane.log")"
wait_for 10 pixel_is 5 5 "$GREEN" || fail "no pen dot"
shot allowed
[ "$(shell_pixel 640 420)" = "$RED" ] || fail "the frozen picture lacks the GTK window"
wait_for 10 focused_overlay || fail "the overlay has no keyboard after Allow: focus $(xdotool getwindowfocus) $(x_windows)"
store Lookup ss screenshot screenshot | grep -q '"yes"' || fail "the store did not keep the yes"
xdotool key space
no_overlay() { ! overlay; }
wait_for 10 no_overlay || fail "Space did not close the overlay"
wait_for 10 e2e_sni_item || fail "Space did not bring the tray item back"

# Allowed now: no question, the usual wait; from the tray's menu.
e2e_sni_call "$(e2e_sni_item)" ContextMenu int32:1270 int32:30 >/dev/null || fail "ContextMenu failed"
menu() { x_windows | awk '{split($2, s, "x"); if (s[2] > 60 && s[2] < 400) {print $1; f = 1}} END {exit !f}'; }
wait_for 10 menu || fail "ContextMenu opened no menu: $(x_windows)"
eval "$(xdotool getwindowgeometry --shell "$(menu)")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + 10)) click 1
wait_for 10 overlay || fail "the menu's first item opened no overlay"
wait_for 10 focused_overlay || fail "the overlay has no keyboard after the menu: $(xprop -id "$(overlay)" _NET_WM_STATE)"
[ "$(grep -c portal-asks "$E2E_ROOT/morvane.log")" = 1 ] || fail "the wait was lengthened again once allowed"
# Esc ends the program; the settings are written.
xdotool key Escape
e2e_wait_exit 10 || fail "Esc did not end the program"
[ "$(ini_get Section Try_Out)" = "False" ] || fail "Try_Out after Esc: $(cat "$INI" 2>&1)"

# A fresh store, and this time Deny (Escape): the message says so, nothing
# opens; once it is read the tray item is back and the program keeps running.
store Delete ss screenshot screenshot >/dev/null || fail "the store's entry could not be removed"
e2e_start_morvane MORVANE_TRACE=1
wait_for 15 e2e_sni_item || fail "no tray item for the second run"
activate
wait_for 20 question_up || fail "no question in the second run"
e2e_gnome key 0xff1b || fail "Escape did not reach the shell"
message() { x_windows | awk -v full="${W}x$H" '$2 != full && / Morvane$/ {print $1; f = 1} END {exit !f}'; }
wait_for 20 message || fail "no message after Deny: $(x_windows) $(cat "$E2E_ROOT/morvane.log")"
shot denied
overlay >/dev/null && fail "an overlay opened after Deny"
grep -q "refused screenshots" "$E2E_ROOT/morvane.log" || fail "stderr does not say why: $(cat "$E2E_ROOT/morvane.log")"
message_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(message)" ]; }
wait_for 10 message_focused || fail "the message has no keyboard"
xdotool key Return
no_message() { ! message; }
wait_for 10 no_message || fail "Return did not close the message"
e2e_alive || fail "the program ended with the message"
wait_for 10 e2e_sni_item || fail "the tray item did not come back after Deny"
(cd "$APPDIR" && timeout 10 ./morvane --quit) || fail "--quit failed"
e2e_wait_exit 10 || fail "the program did not end on --quit"
pass
