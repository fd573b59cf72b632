#!/usr/bin/env bash
# KDE Plasma's compositor (KWin 5.27 headless, XWayland, kded5's tray watcher):
# with a menu entry that names the program, the frozen picture of a native
# window comes from KWin's own screenshot interface, without the pointer and
# without a file; without one, KWin refuses and the KDE portal makes it, its
# file removed, and a portal that refuses for want of ~/Pictures says so.
# Strokes, Space, the tray menu and Esc go through XWayland (xdotool); the
# overlay has the keyboard each time it opens.
source "$(dirname "$0")/lib.sh"
e2e_as_wayland_user "$0" "$@"

RED="204 0 0" GREEN="0 255 0"
# KWin lets in the program that a menu entry names, quoted as the installed
# entries name it; the entry is there before the session, whose menu database
# KWin reads.
mkdir -p "$E2E_ROOT/data/applications"
cat >"$E2E_ROOT/data/applications/morvane-test.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Morvane (test)
Exec="$APPDIR/morvane"
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
ENTRY
e2e_start_kwin 1280x800
touch "$E2E_ROOT/started"
GDK_BACKEND=wayland python3 "$(dirname "$0")/wl_window.py" '#cc0000' 600 400 >"$E2E_ROOT/window.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 grep -q ready "$E2E_ROOT/window.log" || fail "no GTK window: $(cat "$E2E_ROOT/window.log")"

# The overlay, shown and holding the keyboard (KWin's active window and XWayland's focus).
focused_overlay() {
  local ov
  ov=$(e2e_overlay_window) || return 1
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$ov" ] &&
    xprop -root _NET_ACTIVE_WINDOW | grep -q "# $(printf '0x%x' "$ov")\$"
}
# The overlay's own pixels, once painted (the pen dot is there): $shot.
painted() { import -window "$(e2e_overlay_window)" "$shot" && [ "$(ov_pixel 5 5)" = "$GREEN" ]; }
open_with() { # HOW (for messages) NAME: the overlay is then open, focused and in $shot
  wait_for 15 e2e_overlay_window || fail "$1 opened no overlay: $(tail -n3 "$E2E_ROOT/morvane.log")"
  wait_for 10 focused_overlay ||
    fail "$1: the overlay lacks the keyboard (focus $(xdotool getwindowfocus), $(xprop -root _NET_ACTIVE_WINDOW))"
  shot=$E2E_OUT/$2.png
  wait_for 10 painted || fail "$1: no pen dot on the overlay: $(ov_pixel 5 5)"
}
activate() { e2e_sni_call "$(e2e_sni_item)" Activate int32:0 int32:0 >/dev/null || fail "Activate failed"; }
ov_pixel() { /usr/bin/convert "$shot" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 | grep -o '([0-9,]*)' | head -n1 | tr -d '()' | tr , ' '; }
# The native window in the picture: "WxH+X+Y" of its red pixels and their count.
red_box() { /usr/bin/convert "$shot" -fill black +opaque "rgb(${RED// /,})" -trim -format '%wx%h%X%Y' info:; }
red_count() { /usr/bin/convert "$shot" -fill black +opaque "rgb(${RED// /,})" -fill white -opaque "rgb(${RED// /,})" -format '%[fx:int(mean*w*h+0.5)]' info:; }
no_new_png() {
  local left
  left=$(find "$HOME" /tmp -path "$E2E_OUT" -prune -o -user "$(id -u)" -name '*.png' -newer "$E2E_ROOT/started" -print 2>/dev/null)
  [ -z "$left" ] || fail "$1 left pictures behind: $left"
}
mkdir -p "$HOME/Pictures"

printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1
wait_for 15 e2e_sni_item || fail "no tray item: $(cat "$E2E_ROOT/morvane.log")"
activate
open_with Activate kwin
e2e_way_was kwin
kwin_shot=$(grep -o 'kwin [0-9x]* format [0-9]*' "$E2E_ROOT/morvane.log" | head -n1)
# The whole window, and nothing over it: KWin's pointer sits in its middle.
[ "$(red_box)" = "600x400+340+214" ] || fail "the native window is not in the frozen picture: $(red_box)"
[ "$(red_count)" = 240000 ] || fail "something covers the native window in the picture (the pointer?): $(red_count) red pixels"

# A stroke over the window, in the pen's width only.
e2e_drag 400,300 450,300 500,300 550,300 600,300
stroke_done() { import -window "$(e2e_overlay_window)" "$shot" && [ "$(ov_pixel 500 300)" = "$GREEN" ]; }
wait_for 5 stroke_done || fail "no stroke at 500,300: $(ov_pixel 500 300)"
[ "$(ov_pixel 500 320)" = "$RED" ] || fail "the stroke is too wide: $(ov_pixel 500 320)"

# Space: back to the desktop, the tray item is back.
xdotool key space
wait_for 10 e2e_no_overlay || fail "Space did not close the overlay"
wait_for 10 e2e_sni_item || fail "no tray item after Space"

# After the tray menu, the overlay still gets the keyboard.
e2e_sni_call "$(e2e_sni_item)" ContextMenu int32:1200 int32:700 >/dev/null || fail "ContextMenu failed"
wait_for 10 e2e_menu_window || fail "ContextMenu opened no menu"
read -r mx my mw mh < <(e2e_menu_window)
xdotool mousemove $((mx + mw / 2)) $((my + 10)) click 1
open_with "the menu's first item" menu
[ "$(red_count)" = 240000 ] || fail "second picture: $(red_count) red pixels"
xdotool key space
wait_for 10 e2e_no_overlay || fail "Space after the menu did not close the overlay"

# Esc ends the program; its settings are written; no picture was saved.
wait_for 10 e2e_sni_item || fail "no tray item after the menu's drawing"
activate
open_with "Activate again" again
xdotool key Escape
e2e_wait_exit 15 || fail "Esc did not end the program"
[ "$(ini_get Section Try_Out)" = "False" ] || fail "Try_Out after Esc: $(cat "$INI" 2>&1)"
[ -n "$(ini_get Section Form_Left)" ] || fail "Form_Left not written: $(cat "$INI")"
grep -q "capture.*failed\|kwin-refused" "$E2E_ROOT/morvane.log" && fail "$(cat "$E2E_ROOT/morvane.log")"
no_new_png "KWin's screenshots"

# A copy that no menu entry names: KWin refuses, once, quietly; the KDE portal
# makes the picture (with its pointer) and its file is removed.
e2e_start_portal KDE kde
APPDIR=$E2E_ROOT/unnamed INI=$E2E_ROOT/unnamed/Morvane.ini
mkdir -p "$APPDIR"
printf '[Section]\nHot_Key=\n' >"$INI"
e2e_start_morvane MORVANE_TRACE=1
wait_for 15 e2e_sni_item || fail "no tray item for the unnamed copy"
activate
open_with "Activate (portal)" portal
e2e_way_was portal
box=$(red_box)
[[ $box == 600x4??+340+* ]] || fail "the portal's picture lacks the native window: $box"
portal_red=$(red_count)
# Its pointer covers part of the window: the pointer check above can fail.
[ "$portal_red" -gt 200000 ] && [ "$portal_red" -lt 240000 ] ||
  fail "the portal's picture has $portal_red red pixels, not the window with KWin's pointer over it"
xdotool key space
wait_for 10 e2e_no_overlay || fail "Space did not close the portal's overlay"
wait_for 10 e2e_sni_item || fail "no tray item after the portal's drawing"
activate
open_with "the second Activate (portal)" portal2
xdotool key Escape
e2e_wait_exit 15 || fail "Esc did not end the unnamed copy"
[ "$(grep -c kwin-refused "$E2E_ROOT/morvane.log")" = 1 ] || fail "KWin was not asked exactly once: $(cat "$E2E_ROOT/morvane.log")"
grep -q "capture.*failed" "$E2E_ROOT/morvane.log" && fail "KWin's refusal was reported: $(cat "$E2E_ROOT/morvane.log")"
no_new_png "the portal"

# Without ~/Pictures the KDE portal refuses; the line on stderr says why.
rmdir "$HOME/Pictures" || fail "the portal left files in ~/Pictures: $(ls "$HOME/Pictures")"
e2e_start_morvane MORVANE_TRACE=1
wait_for 15 e2e_sni_item || fail "no tray item for the run without ~/Pictures"
activate
said() { grep "screen capture failed" "$E2E_ROOT/morvane.log" | grep -q "$HOME/Pictures"; }
wait_for 15 said || fail "the refusal does not name the missing folder: $(grep capture "$E2E_ROOT/morvane.log")"
pass "$kwin_shot; the portal's picture: $portal_red red pixels of 240000"
