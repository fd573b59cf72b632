#!/usr/bin/env bash
# Installs Morvane for daily use:
#   PREFIX/lib/morvane/             the program folder: binary, help page and its
#                                   pictures; Morvane.ini is written here when
#                                   the user can write here (else ~/.config/morvane)
#   PREFIX/bin/morvane              a link to the binary
#   PREFIX/share/applications/morvane.desktop, PREFIX/share/icons/.../morvane.png
#   with AUTOSTART=1: $XDG_CONFIG_HOME/autostart/morvane.desktop
#
#   PREFIX=~/.local AUTOSTART=1 scripts/install.sh [build-dir]
set -euo pipefail
build=${1:-build}
prefix=${PREFIX:-$HOME/.local}
repo=$(cd "$(dirname "$0")/.." && pwd)
convert=/usr/bin/convert # some machines put a stand-in first on PATH

[ -x "$build/morvane" ] || { echo "install: $build/morvane is not built (run make)" >&2; exit 1; }
[ -f "$build/Morvane.html" ] || { echo "install: $build/Morvane.html is missing" >&2; exit 1; }
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
app=$prefix/lib/morvane
icon=$prefix/share/icons/hicolor/32x32/apps/morvane.png
desktop=$prefix/share/applications/morvane.desktop

install -d "$app" "$app/Morvane-help" "$prefix/bin" "$(dirname "$icon")" "$(dirname "$desktop")"
install -m 755 "$build/morvane" "$app/morvane"
install -m 644 "$build/Morvane.html" "$app/Morvane.html"
for f in "$build"/Morvane-help/*; do
  [ -f "$f" ] && install -m 644 "$f" "$app/Morvane-help/"
done
# The program follows the link to its real folder, where it finds its settings and help.
ln -sfn "../lib/morvane/morvane" "$prefix/bin/morvane"
"$convert" "$repo/resources/images/pointing_hand.xpm" "$icon"
chmod 644 "$icon"

write_desktop() { # target [extra line]
  sed -e "s|@BIN@|$prefix/bin/morvane|" -e "s|@ICON@|$icon|" "$repo/packaging/morvane.desktop.in" >"$1"
  # Into the main group, ahead of the desktop actions.
  if [ -n "${2:-}" ]; then sed -i "/^Actions=/i $2" "$1"; fi
  chmod 644 "$1"
}
write_desktop "$desktop"
echo "Installed Morvane in $app"
echo "  start it with: $prefix/bin/morvane   (or from the application menu)"

if [ "${AUTOSTART:-0}" = 1 ]; then
  auto=${XDG_CONFIG_HOME:-$HOME/.config}/autostart
  mkdir -p "$auto"
  write_desktop "$auto/morvane.desktop" "X-GNOME-Autostart-enabled=true"
  echo "  it starts with the desktop session: $auto/morvane.desktop"
fi
