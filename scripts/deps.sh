#!/usr/bin/env bash
# Installs the Debian packages Morvane needs to build, run and be tested.
# Idempotent: does nothing when everything is there. As root it runs apt-get;
# otherwise it prints the exact command to run.
set -euo pipefail

packages=(
  cmake g++ make pkg-config python3
  qt6-base-dev qt6-translations-l10n libxcb1-dev libxcb-shm0-dev libgl-dev
  libwayland-dev # wayland-client and wayland-scanner: the in-process screencopy capture
  libgtest-dev libbenchmark-dev
  dpkg-dev lintian desktop-file-utils appstream # make package and its checks
  xvfb icewm xdotool x11-utils x11-xserver-utils imagemagick xrestop
  xserver-xorg-core xserver-xorg-video-dummy
  fonts-ipafont-gothic
  # A Wayland session for the tests; qt6-wayland proves that XWayland is chosen
  # although Qt could run natively; grim is also the capture on wlroots desktops.
  sway xwayland grim wtype foot dbus qt6-wayland
  # ... and its screenshot portal: the wlroots back end needs pipewire, the
  # portal an Access back end (GTK's); gdbus asks whether it is up.
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk pipewire libglib2.0-bin
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
# Only for bench/probe_display.sh: Flameshot's capture window is the yardstick
# of the opening time, and its daemon needs a session bus.
if [ "${1:-}" = "--bench" ]; then
  packages+=(flameshot dbus-daemon)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing+=("$p") ;;
  esac
done
[ ${#missing[@]} -eq 0 ] && exit 0

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Morvane needs these Debian packages: ${missing[*]}" >&2
  echo "Run as root:  apt-get update && $cmd" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
