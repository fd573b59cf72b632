#!/usr/bin/env bash
# Removes what scripts/install.sh put under PREFIX and the autostart entry that
# points at it. The user's Morvane.ini stays unless PURGE=1.
set -euo pipefail
prefix=${PREFIX:-$HOME/.local}
[ -d "$prefix" ] || { echo "uninstall: $prefix does not exist" >&2; exit 1; }
prefix=$(cd "$prefix" && pwd)
app=$prefix/lib/morvane

rm -f "$app/morvane" "$app/Morvane.html" "$app"/Morvane-help/*.png
rmdir "$app/Morvane-help" 2>/dev/null || true
[ -L "$prefix/bin/morvane" ] && rm -f "$prefix/bin/morvane"
rm -f "$prefix/share/applications/morvane.desktop" "$prefix/share/icons/hicolor/32x32/apps/morvane.png"
auto=${XDG_CONFIG_HOME:-$HOME/.config}/autostart/morvane.desktop
# Only our own entry: the one that starts this prefix's program.
if [ -f "$auto" ] && grep -qF "Exec=\"$prefix/bin/morvane\"" "$auto"; then rm -f "$auto"; fi

if [ "${PURGE:-0}" = 1 ]; then rm -f "$app/Morvane.ini"; fi
if rmdir "$app" 2>/dev/null; then
  echo "Removed Morvane from $prefix"
else
  echo "Removed Morvane from $prefix; kept your settings in $app/Morvane.ini (PURGE=1 removes them)"
fi
