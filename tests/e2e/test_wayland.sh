#!/usr/bin/env bash
# A Wayland session (headless sway, XWayland, swaybar's StatusNotifierItem
# tray, Qt's Wayland plugin installed): the windows go through XWayland, the
# frozen picture shows a native Wayland window, strokes follow the
# compositor's pointer, Space and Esc work, the tray item works over D-Bus, and
# so do `morvane --toggle` and the program's own Toggle on the bus.
# The picture comes from the compositor's screencopy, in-process; grim and
# the portal, the later ways, get a run each.
source "$(dirname "$0")/lib.sh"
e2e_as_wayland_user "$0" "$@"

RED="204 0 0" GREEN="0 255 0"
e2e_start_sway 1280x800
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  fail "qt6-wayland is not installed: the platform choice would not be tested"
pixel_is() { [ "$(e2e_wl_pixel "$1" "$2")" = "$3" ]; }
shot() { grim "$E2E_OUT/$1.png" 2>/dev/null; }
# The overlay: a full-screen window "Morvane"; prints "SHELL FOCUSED".
overlay() { e2e_wl_windows | awk '$2 == 1 && $NF == "Morvane" {print $1, $3; f = 1} END {exit !f}'; }
open_from_tray() {
  e2e_sni_call "$1" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"
  wait_for 10 overlay || fail "Activate opened no overlay: $(tail -n3 "$E2E_ROOT/morvane.log")"
  [ "$(overlay)" = "xwayland 1" ] || fail "overlay is '$(overlay)', not an XWayland window with the keyboard"
  wait_for 5 pixel_is 5 5 "$GREEN" || fail "no pen dot: $(e2e_wl_pixel 5 5)"
}
# A run that opens through one forced way: the native window in the picture.
frozen_through() {
  # The default key only once the portal is set up: asking for it earlier
  # would start the portal without its environment.
  if [ "$1" = portal ]; then rm -f "$INI"; else printf '[Section]\nHot_Key=\n' >"$INI"; fi
  e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=$1
  wait_for 10 e2e_sni_item || fail "no tray item for the $1 run"
  open_from_tray "$(e2e_sni_item)"
  [ "$(e2e_wl_pixel 900 500)" = "$RED" ] || fail "$1: the frozen picture lacks the native window"
  grep -q "capture.*failed" "$E2E_ROOT/morvane.log" && fail "$1: $(cat "$E2E_ROOT/morvane.log")"
  e2e_way_was "$1"
  # This portal has no GlobalShortcuts: the default key is given up without a word.
  grep -qi "key" "$E2E_ROOT/morvane.log" && fail "$1: the key was not given up quietly: $(cat "$E2E_ROOT/morvane.log")"
  wtype -k Escape
  e2e_wait_exit 10 || fail "Esc did not end the $1 run"
}

# A native Wayland window of a known colour fills the screen above the bar.
foot -o colors.background=cc0000 sh -c 'sleep 1000' >"$E2E_ROOT/foot.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 bash -c 'swaymsg -t get_tree | grep -q "\"app_id\": \"foot\""' || fail "foot did not appear"
wait_for 5 pixel_is 900 500 "$RED" || fail "foot is not red: $(e2e_wl_pixel 900 500)"
# Headless sway draws the cursor into every capture: keep it away from the checks.
e2e_pointer move 1000 600

# No global key until the portal is set up below: asking for one would start
# the portal early, without its environment.
printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1
wait_for 10 e2e_sni_item || fail "no StatusNotifierItem registered: $(cat "$E2E_ROOT/morvane.log")"
item=$(e2e_sni_item)
tip=$(dbus-send --session --print-reply=literal --dest="${item%%/*}" "/${item#*/}" \
  org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:ToolTip | tr -s ' \n' ' ')
[[ $tip == *" Morvane "* ]] || fail "tooltip: $tip"

# Activate freezes the screen: the native window is in the picture, the dot on it.
open_from_tray "$item"
e2e_way_was screencopy
grep -q "screencopy-shared 1280x800" "$E2E_ROOT/morvane.log" || fail "the picture's pages were not the overlay's background"
grep -q "screencopy-layer-shown" "$E2E_ROOT/morvane.log" || fail "the picture did not go on screen ahead of the X window"
[ "$(e2e_wl_pixel 900 500)" = "$RED" ] || fail "the frozen picture lacks the native window: $(e2e_wl_pixel 900 500)"
[ "$(e2e_wl_pixel 640 300)" = "$RED" ] || fail "frozen picture at 640,300: $(e2e_wl_pixel 640 300)"
shot frozen

# A stroke follows the compositor's pointer.
e2e_pointer move 300 300
e2e_pointer press
for x in 340 380 420 460 500; do e2e_pointer move "$x" 300; done
e2e_pointer release
wait_for 5 pixel_is 400 300 "$GREEN" || fail "no stroke at 400,300: $(e2e_wl_pixel 400 300)"
[ "$(e2e_wl_pixel 400 320)" = "$RED" ] || fail "the stroke is too wide: $(e2e_wl_pixel 400 320)"
shot stroke
# Ctrl held at the press: a rectangle, through XWayland's modifiers; of its
# preview's earlier corner nothing stays.
wtype -M ctrl
e2e_pointer move 300 400
e2e_pointer press
for p in "350 420" "420 440" "500 460"; do e2e_pointer move $p; done
e2e_pointer release
wtype -m ctrl
wait_for 5 pixel_is 400 400 "$GREEN" || fail "no rectangle's edge at 400,400: $(e2e_wl_pixel 400 400)"
[ "$(e2e_wl_pixel 400 430)" = "$RED" ] || fail "the rectangle is filled: $(e2e_wl_pixel 400 430)"
[ "$(e2e_wl_pixel 325 420)" = "$RED" ] || fail "the preview's earlier edge stayed: $(e2e_wl_pixel 325 420)"
# T: text at the pointer, typed through XWayland; Esc ends the text only.
e2e_pointer move 600 200
green_in() { grim -g "$1" -t ppm - 2>/dev/null | convert ppm:- -fill black +opaque "rgb($(echo $GREEN | tr ' ' ,))" -format '%[fx:mean*w*h]' info:; }
[ "$(green_in "600,150 200x100")" = 0 ] || fail "pen pixels where the text goes, before it"
# Each wtype is a new virtual keyboard: XWayland needs a moment for its keymap,
# or the next key is lost.
wtype t
sleep 0.5
wtype HHH
sleep 0.5
wtype -k Escape
typed=0
for _ in $(seq 20); do
  typed=$(green_in "600,150 200x100")
  [ "$typed" != 0 ] && break
  sleep 0.25
done
shot text
[ "$typed" != 0 ] || fail "the typed text left no pen pixels"
overlay >/dev/null || fail "Esc while typing closed the overlay"

# Space: back to the live desktop (no stroke, no dot), the tray item is back.
wtype -k space
no_overlay() { ! overlay; }
wait_for 5 no_overlay || fail "Space did not close the overlay"
wait_for 5 e2e_sni_item || fail "Space did not bring the tray item back"
[ "$(e2e_wl_pixel 400 300)" = "$RED" ] || fail "the stroke stayed on the live desktop"
[ "$(e2e_wl_pixel 5 5)" != "$GREEN" ] || fail "the dot stayed on the live desktop"

# The frozen picture never shows the tray item it has just taken away, though
# the bar redraws in its own time (without waiting for it, 1 in 4 did).
bar_end() { grim -g "1080,770 200x30" -t ppm - | md5sum; }
for n in 1 2 3 4 5 6; do
  sleep 0.5
  with_item=$(bar_end)
  open_from_tray "$(e2e_sni_item)"
  [ "$(bar_end)" != "$with_item" ] || fail "open $n: the frozen picture shows the removed tray item"
  wtype -k space
  wait_for 5 no_overlay || fail "Space did not close overlay $n"
  wait_for 5 e2e_sni_item || fail "no tray item after overlay $n"
done

# From outside: `morvane --toggle` freezes the screen, the bus's Toggle ends drawing.
(cd "$APPDIR" && timeout 10 ./morvane --toggle) || fail "--toggle ended with status $?"
wait_for 10 overlay || fail "--toggle opened no overlay"
[ "$(e2e_wl_pixel 900 500)" = "$RED" ] || fail "--toggle: the frozen picture lacks the native window"
app=example.c_seed_68ee28e6.Morvane
busctl --user call "$app" /example/c_seed_68ee28e6/Morvane "$app" Toggle || fail "the bus's Toggle failed"
wait_for 5 no_overlay || fail "the bus's Toggle did not end drawing"
wait_for 5 e2e_sni_item || fail "no tray item after the bus's Toggle"
item=$(e2e_sni_item)

# The host's ContextMenu opens the menu; its first item "Morvane..." draws again.
e2e_sni_call "$item" ContextMenu int32:1270 int32:790 >/dev/null || fail "ContextMenu failed"
wait_for 5 e2e_menu_window || fail "ContextMenu opened no menu"
read -r mx my mw mh < <(e2e_menu_window)
shot menu
e2e_pointer move $((mx + mw / 2)) $((my + 10))
e2e_pointer press
e2e_pointer release
wait_for 10 overlay || fail "the menu's first item opened no overlay (menu at $mx,$my ${mw}x$mh)"
[ "$(e2e_wl_pixel 900 500)" = "$RED" ] || fail "second frozen picture: $(e2e_wl_pixel 900 500)"

# Esc ends the program; the resident keys are written.
wtype -k Escape
e2e_wait_exit 10 || fail "Esc did not end the program"
[ "$(ini_get Section Try_Out)" = "False" ] || fail "Try_Out after Esc: $(cat "$INI" 2>&1)"
[ -n "$(ini_get Section Form_Left)" ] || fail "Form_Left not written: $(cat "$INI")"
if grep -q "capture.*failed" "$E2E_ROOT/morvane.log"; then fail "$(cat "$E2E_ROOT/morvane.log")"; fi

# Without XWayland: a message that names it, and no overlay.
(cd "$APPDIR" && exec env -u DISPLAY ./morvane >"$E2E_ROOT/nox.log" 2>&1) &
nox=$!
E2E_PIDS+=($nox)
message_up() { e2e_wl_windows | grep -q '^xdg_shell 0 1 morvane'; }
wait_for 10 message_up || fail "no message without XWayland: $(e2e_wl_windows) $(cat "$E2E_ROOT/nox.log")"
shot no_xwayland
# Return ends it (the compositor's close is the fallback should the key be
# lost); the program must then be gone at once, not hang in its teardown.
wtype -k Return
if ! wait_for 3 bash -c "! kill -0 $nox"; then
  echo "the message is still up or the program still runs: $(e2e_wl_windows); closing it through the compositor"
  swaymsg '[app_id="morvane"] kill' >/dev/null 2>&1
fi
wait_for 5 bash -c "! kill -0 $nox" || fail "the message did not end the program: $(e2e_wl_windows)"
wait "$nox"
[ $? = 1 ] || fail "exit status without XWayland"
grep -q "XWayland" "$E2E_ROOT/nox.log" || fail "stderr does not name XWayland: $(cat "$E2E_ROOT/nox.log")"

# The floating icon: sway places floating X11 windows itself (in the middle,
# at least 75 x 50), but a drag moves it and is kept, and a double-click draws.
printf '[Section]\nTry_Out=True\nHot_Key=\n' >"$INI"
e2e_start_morvane
icon_at() { # "X Y" of the program's one visible X window
  local w
  w=$(xdotool search --onlyvisible --classname morvane 2>/dev/null | head -n1) || return 1
  eval "$(xdotool getwindowgeometry --shell "$w")" && [ -n "$X" ] && echo "$X $Y"
}
wait_for 10 icon_at || fail "no floating icon"
read -r ix iy < <(icon_at)
e2e_pointer move $((ix + 10)) $((iy + 10))
e2e_pointer press
for i in 1 2 3 4 5; do e2e_pointer move $((ix + 10 + i * 20)) $((iy + 10 + i * 10)); done
e2e_pointer release
# sway starts its move where the pointer is when the request arrives (after the
# drag distance), so the icon may trail the pointer by the first step.
moved() {
  read -r jx jy < <(icon_at)
  [ $((jx - ix)) -ge 80 ] && [ $((jx - ix)) -le 100 ] && [ $((jy - iy)) -ge 40 ] && [ $((jy - iy)) -le 50 ]
}
wait_for 5 moved || fail "the drag left the floating icon at $(icon_at), from $ix $iy"
read -r jx jy < <(icon_at)
e2e_pointer move $((jx + 10)) $((jy + 10))
for i in 1 2; do e2e_pointer press && e2e_pointer release; done
wait_for 10 overlay || fail "a double-click on the floating icon opened no overlay"
wtype -k Escape
e2e_wait_exit 10 || fail "Esc did not end the floating run"
[ "$(ini_get Section Try_Out)" = "True" ] || fail "floating: $(cat "$INI")"
[ "$(ini_get Section Form_Left)" = "$((jx * 15))" ] || fail "the dragged place ($jx) was not kept: $(cat "$INI")"

frozen_through grim

# A compositor that stops answering (stopped for the capture): the capture
# gives up after its 3 s, says so, and the program goes on once it answers.
printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=screencopy
wait_for 10 e2e_sni_item || fail "no tray item for the stopped-compositor run"
item=$(e2e_sni_item)
kill -STOP "$SWAY_PID"
start=$SECONDS
e2e_sni_call "$item" Activate int32:0 int32:0 >/dev/null 2>&1 &
E2E_PIDS+=($!)
gave_up() { grep -q "screen capture failed: screencopy: the compositor" "$E2E_ROOT/morvane.log"; }
wait_for 8 gave_up
given=$?
kill -CONT "$SWAY_PID"
[ $given = 0 ] || fail "no failed capture with the compositor stopped: $(cat "$E2E_ROOT/morvane.log")"
[ $((SECONDS - start)) -le 6 ] || fail "the failed capture took $((SECONDS - start)) s"
wait_for 10 overlay || fail "no overlay after the failed capture"
wtype -k Escape
e2e_wait_exit 10 || fail "Esc did not end the program after the failed capture"

# The desktop's screenshot portal: xdg-desktop-portal with its wlroots back end
# (which needs pipewire) and the GTK one for Access, running as in a session.
# Its request is answered only while the asking program stays on the bus.
e2e_start_portal
frozen_through portal
[ -e /tmp/out.png ] && fail "the portal's file /tmp/out.png was left behind"

# A scaled output: the compositor's pixels are finer than XWayland's; the
# frozen picture still lands in place, the bar at the bottom included.
swaymsg output HEADLESS-1 scale 2 >/dev/null
bar_moved() { [ "$(e2e_wl_pixel 300 395)" != "$RED" ]; } # the bar now ends the 400 lines
wait_for 5 bar_moved || fail "sway did not lay out the scaled output"
sleep 0.3
points="300,200 300,395 630,395 10,395 630,5"
live=$(for p in $points; do e2e_wl_pixel "${p%,*}" "${p#*,}"; done)
for way in screencopy grim; do
  e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=$way
  wait_for 10 e2e_sni_item || fail "no tray item on the scaled output"
  open_from_tray "$(e2e_sni_item)"
  e2e_way_was $way
  frozen=$(for p in $points; do e2e_wl_pixel "${p%,*}" "${p#*,}"; done)
  [ "$frozen" = "$live" ] || fail "scaled output, $way: frozen $(echo $frozen) but live $(echo $live) at $points"
  wtype -k Escape
  e2e_wait_exit 10 || fail "Esc did not end the scaled run"
done

# A second output, to the right of the scaled one: the overlay over it
# freezes that output, not the first one (wlroots says (0, 0) for every
# output's own position; only the layout's tells them apart). The overlay
# takes the monitor under XWayland's pointer, which XWayland learns only over
# its own windows: a first opening there (sway puts it on the pointer's
# output) lets it see the pointer.
swaymsg create_output >/dev/null || fail "sway made no second output"
swaymsg output HEADLESS-1 pos 0 0 >/dev/null
swaymsg output HEADLESS-2 mode 1280x800 pos 640 0 bg '#00aa00' solid_color >/dev/null
wait_for 5 pixel_is 1000 300 "0 170 0" || fail "no second output: $(e2e_wl_pixel 1000 300)"
e2e_start_morvane MORVANE_TRACE=1 MORVANE_CAPTURE=screencopy
wait_for 10 e2e_sni_item || fail "no tray item with two outputs"
e2e_pointer move 1000 300
e2e_sni_call "$(e2e_sni_item)" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"
wait_for 10 overlay || fail "no overlay with two outputs"
sleep 0.3
e2e_pointer move 1010 310
sleep 0.3
wtype -k space
wait_for 5 e2e_sni_item || fail "Space did not bring the tray item back with two outputs"
e2e_sni_call "$(e2e_sni_item)" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"
wait_for 5 pixel_is 645 5 "$GREEN" || fail "no dot on the second output: $(e2e_wl_pixel 645 5) $(e2e_wl_windows)"
grep -q "capture.*failed" "$E2E_ROOT/morvane.log" && fail "two outputs: $(cat "$E2E_ROOT/morvane.log")"
e2e_way_was screencopy
for p in 1000,300 1800,700; do
  [ "$(e2e_wl_pixel "${p%,*}" "${p#*,}")" = "0 170 0" ] ||
    fail "the second output's frozen picture at $p: $(e2e_wl_pixel "${p%,*}" "${p#*,}") $(grep screencopy-output "$E2E_ROOT/morvane.log")"
done
wtype -k Escape
e2e_wait_exit 10 || fail "Esc did not end the two-output run"
pass
