#!/usr/bin/env bash
# Installation for daily use: install into a fresh prefix, start the installed
# command under a desktop with a tray, end it in order (its settings go into the
# installed program folder), then uninstall: only the user's settings remain.
# Then the Debian package: built by CPack from this build tree, installed with
# apt-get, started from its menu entry by an ordinary user (its settings go into
# that user's ~/.config/morvane), and purged. Needs root, as CI runs it.
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
  grep -qxF "Exec=\"$prefix/bin/morvane\" --draw" "$d" || fail "$d has no Draw action"
done
# KWin's screenshots: the entry's command, made canonical, is the program, and
# the entry lists the interface (in its main group).
kwin_lets_in() { # entry program
  local main exec words
  main=$(sed -n '/^\[Desktop Entry\]/,/^\[Desktop Action/p' "$1")
  exec=$(sed -n 's/^Exec=//p' <<<"$main")
  eval "words=($exec)" # the entry's own quoting
  [ "$(readlink -f "${words[0]}")" = "$(readlink -f "$2")" ] || fail "KWin would not match $1's Exec=$exec with $2"
  grep -qxF X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2 <<<"$main" ||
    fail "$1 does not ask for KWin's screenshots"
}
kwin_lets_in "$prefix/share/applications/morvane.desktop" "$prefix/lib/morvane/morvane"
# The autostart line belongs to the entry itself, not to its last action.
awk '/^\[Desktop Action/ {exit} /^X-GNOME-Autostart-enabled=true$/ {found = 1} END {exit !found}' \
  "$XDG_CONFIG_HOME/autostart/morvane.desktop" || fail "autostart: $(cat "$XDG_CONFIG_HOME/autostart/morvane.desktop")"
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

# --- The Debian package ---
[ "$(id -u)" = 0 ] || fail "the package case installs with apt-get and adds a user: run as root"
# One package case at a time on a machine (several worktrees may run their tests).
# /run/lock, where a lock file may stay: it is emptied at every boot.
lockdir=/run/lock
[ -d "$lockdir" ] && [ -w "$lockdir" ] || lockdir=/tmp
exec 9>"$lockdir/morvane-package-test.lock"
flock -w 240 9 || fail "another package test held the machine for 4 minutes"
if dpkg-query -W -f='${Status}' morvane 2>/dev/null | grep -q ' installed'; then
  fail "a morvane package is installed on this machine; purge it first (apt-get purge morvane)"
fi
user=morvane-e2e
marker="Morvane package test"
package_installed=0
# Whatever happens, the machine ends as it was: no package, no test user.
package_cleanup() {
  if [ "$package_installed" = 1 ]; then
    apt-get purge -y -qq -o DPkg::Lock::Timeout=120 morvane >/dev/null 2>&1 ||
      dpkg --purge morvane >/dev/null 2>&1
  fi
  if [ "$(getent passwd "$user" | cut -d: -f5)" = "$marker" ]; then userdel -r "$user" 2>/dev/null; fi
}
trap 'e2e_cleanup; package_cleanup' EXIT
package_cleanup # a user left by a run that was killed
getent passwd "$user" >/dev/null && fail "a user $user exists that this test did not make"

build_dir=$(dirname "$MORVANE_BIN")
[ -f "$build_dir/CPackConfig.cmake" ] || fail "no CPack configuration in $build_dir"
(cd "$build_dir" && env -u MAKEFLAGS -u MFLAGS cpack -G DEB -B "$E2E_ROOT/package") \
  >"$E2E_ROOT/cpack.log" 2>&1 || fail "cpack failed: $(tail -n 5 "$E2E_ROOT/cpack.log")"
deb=$(ls "$E2E_ROOT"/package/morvane_*_"$(dpkg --print-architecture)".deb 2>/dev/null)
[ -f "$deb" ] || fail "no package morvane_<version>_<arch>.deb was made"
lintian --fail-on error "$deb" >"$E2E_ROOT/lintian.log" 2>&1 ||
  fail "lintian reports errors: $(grep '^E:' "$E2E_ROOT/lintian.log")"
dpkg-deb -f "$deb" Depends | grep -q 'fonts-ipafont-gothic' || fail "the package does not pull in the font"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends are not computed from the libraries"

package_installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  -o DPkg::Lock::Timeout=120 "$deb" >"$E2E_ROOT/apt.log" 2>&1 ||
  fail "apt-get could not install the package: $(tail -n 5 "$E2E_ROOT/apt.log")"
for f in /usr/lib/morvane/morvane /usr/lib/morvane/Morvane.html /usr/share/applications/morvane.desktop \
  /usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/morvane.png /usr/share/man/man1/morvane.1.gz \
  /usr/share/doc/morvane/copyright; do
  [ -f "$f" ] || fail "the package did not install $f"
done
[ "$(readlink -f /usr/bin/morvane)" = /usr/lib/morvane/morvane ] || fail "/usr/bin/morvane is no link to the program"
for src in $(grep -o 'src="[^"]*"' /usr/lib/morvane/Morvane.html | sed 's/^src="//; s/"$//'); do
  [ -f "/usr/lib/morvane/$src" ] || fail "the help page's picture $src is not installed"
done
desktop-file-validate /usr/share/applications/morvane.desktop || fail "invalid desktop entry"
kwin_lets_in /usr/share/applications/morvane.desktop /usr/lib/morvane/morvane
appstreamcli validate --no-net /usr/share/metainfo/*.metainfo.xml >"$E2E_ROOT/appstream.log" 2>&1 ||
  fail "invalid AppStream data: $(cat "$E2E_ROOT/appstream.log")"
before=$(find /usr/lib/morvane | sort)

# An ordinary user starts it from the menu entry's command line.
useradd -m -c "$marker" -s /bin/sh "$user" || fail "useradd failed"
uhome=$(getent passwd "$user" | cut -d: -f6)
install -d -m 700 -o "$user" -g "$user" "$uhome/runtime"
entry_exec() { # the Exec line of a group of the menu entry
  sed -n "/^\[$1\]/,/^\[/ s/^Exec=//p" /usr/share/applications/morvane.desktop
}
as_user() { # a command line, run as the user of a desktop session, in place of this shell
  cd / && exec setpriv --reuid="$user" --regid="$user" --init-groups env -i HOME="$uhome" \
    USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$DISPLAY" \
    XDG_RUNTIME_DIR="$uhome/runtime" DBUS_SESSION_BUS_ADDRESS=disabled: \
    ${ASAN_OPTIONS:+ASAN_OPTIONS=$ASAN_OPTIONS} ${UBSAN_OPTIONS:+UBSAN_OPTIONS=$UBSAN_OPTIONS} \
    sh -c "cd && exec $1" 9>&-
}
as_user "$(entry_exec 'Desktop Entry')" >"$E2E_ROOT/package-morvane.log" 2>&1 &
MORVANE_PID=$!
E2E_PIDS+=($MORVANE_PID)
e2e_wait_tray_icon 20 || fail "the packaged program shows no tray icon: $(head -c 500 "$E2E_ROOT/package-morvane.log")"
# The entry's Draw action, as the launcher offers it, draws in the running program.
(as_user "$(entry_exec 'Desktop Action Draw')") || fail "the Draw action ended with status $?"
W=1024 H=768 wait_for 10 e2e_overlay_window || fail "the Draw action opened no overlay"
kill -TERM "$MORVANE_PID"
e2e_wait_exit 10 || fail "SIGTERM did not end the packaged program"
# Started where there is no display at all (over ssh): one line, status 1, no abort.
nodisplay=$(cd / && setpriv --reuid="$user" --regid="$user" --init-groups env -i HOME="$uhome" \
  PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$uhome/runtime" /usr/bin/morvane 2>&1 9>&-)
rc=$?
[ $rc = 1 ] && [ "$(printf '%s\n' "$nodisplay" | wc -l)" = 1 ] && [[ $nodisplay == *display* ]] ||
  fail "without a display: status $rc, said: $nodisplay"
INI=$uhome/.config/morvane/Morvane.ini
[ "$(ini_get Section Try_Out)" = False ] || fail "no settings written in ~/.config/morvane"
[ "$(stat -c '%U %a' "$uhome/.config/morvane")" = "$user 700" ] ||
  fail "settings folder is $(stat -c '%U %a' "$uhome/.config/morvane")"
[ "$(find "$uhome" -name Morvane.ini)" = "$INI" ] || fail "settings written elsewhere: $(find "$uhome" -name Morvane.ini)"
[ "$(find /usr/lib/morvane | sort)" = "$before" ] || fail "the program wrote into /usr/lib/morvane"

# Purged, the program is gone; the user's own settings stay.
files=$(dpkg -L morvane)
apt-get purge -y -qq -o DPkg::Lock::Timeout=120 morvane >"$E2E_ROOT/apt.log" 2>&1 ||
  fail "apt-get could not remove the package: $(tail -n 5 "$E2E_ROOT/apt.log")"
package_installed=0
for f in $files; do
  if [ -L "$f" ] || [ -f "$f" ]; then fail "$f is left after purge"; fi
done
[ ! -e /usr/bin/morvane ] && [ ! -e /usr/lib/morvane ] || fail "the program is still there after purge"
[ -f "$INI" ] || fail "removing the package took the user's settings"
pass
