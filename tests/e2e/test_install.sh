#!/usr/bin/env bash
# Installation for daily use: install into a fresh prefix, start the installed
# command under a desktop with a tray, end it in order (its settings go into the
# installed program folder), then uninstall: only the user's settings remain.
source "$(dirname "$0")/lib.sh"

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$E2E_ROOT/build
prefix="$E2E_ROOT/prefix with space"
export HOME=$E2E_ROOT/home
mkdir -p "$build" "$HOME"
# The installer takes a build folder: the program, its help page and pictures.
cp "$MORVANE_BIN" "$build/morvane"
cp "$MORVANE_HELP" "$build/Morvane.html"
if [ -d "$(dirname "$MORVANE_HELP")/Morvane-help" ]; then
  cp -r "$(dirname "$MORVANE_HELP")/Morvane-help" "$build/"
fi

e2e_start_x 1024x768 # sets XDG_CONFIG_HOME to a private folder
PREFIX=$prefix AUTOSTART=1 bash "$repo/scripts/install.sh" "$build" >/dev/null || fail "install failed"

app=$prefix/lib/morvane
[ -x "$app/morvane" ] || fail "no program in $app"
[ -L "$prefix/bin/morvane" ] || fail "no command link"
icon=$prefix/share/icons/hicolor/32x32/apps/morvane.png
[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = 32x32 ] || fail "icon is not a 32x32 picture"
for d in "$prefix/share/applications/morvane.desktop" "$XDG_CONFIG_HOME/autostart/morvane.desktop"; do
  [ -f "$d" ] || fail "missing $d"
  grep -qx 'Type=Application' "$d" || fail "$d is no application entry"
  grep -qxF "Exec=\"$prefix/bin/morvane\"" "$d" || fail "$d starts '$(grep ^Exec "$d")'"
  grep -qxF "Icon=$icon" "$d" || fail "$d has icon '$(grep ^Icon "$d")'"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/morvane.desktop" || fail "invalid desktop entry"
fi
# Every picture of the help page is installed beside it.
for src in $(grep -o 'src="[^"]*"' "$app/Morvane.html" | sed 's/^src="//; s/"$//'); do
  [ -f "$app/$src" ] || fail "the help page's picture $src is not installed"
done

# The installed command, started from elsewhere through its link, as the launcher does.
(cd "$HOME" && exec "$prefix/bin/morvane" >"$E2E_ROOT/morvane.log" 2>&1) &
MORVANE_PID=$!
E2E_PIDS+=($MORVANE_PID)
e2e_wait_tray_icon 20 || fail "the installed program shows no tray icon"
kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "SIGTERM did not end the installed program"
INI=$app/Morvane.ini
[ "$(ini_get Section Try_Out)" = False ] || fail "no settings written in the program folder"
[ -z "$(find "$HOME" -name Morvane.ini)" ] || fail "settings written outside the program folder"

# Uninstall keeps only the settings; PURGE removes them as well.
PREFIX=$prefix bash "$repo/scripts/uninstall.sh" >/dev/null || fail "uninstall failed"
left=$(find "$prefix" "$XDG_CONFIG_HOME" \( -type f -o -type l \) | sort)
[ "$left" = "$INI" ] || fail "left after uninstall: $left"
PREFIX=$prefix PURGE=1 bash "$repo/scripts/uninstall.sh" >/dev/null || fail "purge failed"
[ ! -e "$app" ] || fail "the program folder is still there after PURGE=1"
pass
