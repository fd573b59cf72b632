#!/usr/bin/env bash
# Installs the Debian packages Morvane needs, by group:
#
#   scripts/deps.sh            build and start the program, play the tour (make run)
#   scripts/deps.sh --tests    ... and run every test (make test)
#   scripts/deps.sh --fuzz     ... and the settings-file fuzzer (clang)
#   scripts/deps.sh --bench    ... and the benchmarks with Flameshot as the yardstick
#   scripts/deps.sh --kde      ... and KDE Plasma's compositor for its test (make test)
#   scripts/deps.sh --gnome    ... and the GNOME Shell test's desktop (make test)
#
# Idempotent: does nothing when everything is there. As root it runs apt-get
# without Recommends (what a fresh minimal Debian 12 has is all it assumes);
# otherwise it prints the exact command to run.
set -euo pipefail

tests=0 fuzz=0 bench=0 kde=0 gnome=0
for a in "$@"; do
  case "$a" in
    --tests) tests=1 ;;
    --fuzz) tests=1 fuzz=1 ;; # the fuzzing build has the tests in it
    --bench) bench=1 ;;
    --kde) kde=1 ;;
    --gnome) gnome=1 ;;
    *) echo "deps.sh: unknown option $a" >&2; exit 2 ;;
  esac
done

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-translations-l10n libxcb1-dev libxcb-shm0-dev libgl-dev
  libwayland-dev # wayland-client and wayland-scanner: the in-process screencopy capture
  # The tour on a virtual display: Xvfb, icewm's tray, input and screenshots;
  # python3 asks the X server whether the tray is up.
  xvfb icewm xdotool x11-utils x11-xserver-utils imagemagick python3
  fonts-ipafont-gothic # the menus and the dialog are Japanese
)
if [ $tests = 1 ]; then
  packages+=(
    libgtest-dev libbenchmark-dev # the benchmarks are built with the tests
    dpkg-dev lintian desktop-file-utils appstream # make package and its checks
    xrestop xserver-xorg-core xserver-xorg-video-dummy # the soak; two monitors
    # A Wayland session; qt6-wayland proves that XWayland is chosen although Qt
    # could run natively; grim is also the capture on wlroots desktops.
    sway xwayland grim wtype foot dbus qt6-wayland
    # ... and its screenshot portal: the wlroots back end needs pipewire, the
    # portal an Access back end (GTK's); gdbus asks whether it is up.
    xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk pipewire libglib2.0-bin
  )
fi
# KDE Plasma headless: KWin with XWayland, its screenshot portal (which needs
# plasma-workspace and these QML modules even for a shot without a dialog),
# kded5's tray watcher, and a GTK window of one colour (foot crashes there).
if [ $kde = 1 ]; then
  packages+=(
    kwin-wayland xdg-desktop-portal-kde qtwayland5 plasma-workspace kded5 pipewire
    qml-module-org-kde-kirigami2 qml-module-qtquick-controls2 qml-module-qtquick-layouts
    qml-module-qtquick-window2 qml-module-qtquick-templates2
    python3-gi gir1.2-gtk-3.0 xdotool dbus libglib2.0-bin
  )
fi
# GNOME Shell headless with its screenshot portal (and the shell's Access
# dialog, the first-use question); a GTK 3 window through python3-gi, the
# tray watcher stand-in and the shell's remote keys through Gio; pgrep finds
# the shell's XWayland. Not elogind: the shell runs with a private system bus.
if [ $gnome = 1 ]; then
  packages+=(
    gnome-shell mutter xdg-desktop-portal xdg-desktop-portal-gnome pipewire dbus
    python3-gi gir1.2-gtk-3.0 libglib2.0-bin procps xdotool imagemagick xwayland
  )
fi
if [ $fuzz = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi
# bench/probe_display.sh times the opening against Flameshot's capture
# window, whose daemon needs a session bus.
if [ $bench = 1 ]; then
  packages+=(libbenchmark-dev flameshot dbus-daemon)
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
export DEBIAN_FRONTEND=noninteractive
echo "deps: ${missing[*]}"
echo "deps: reading the package lists (apt-get update)..."
apt-get update -qq
# How many packages that is with what they pull in, for a count as they come.
total=$(apt-get install -s --no-install-recommends "${missing[@]}" | grep -c '^Inst ' || true)
echo "deps: installing $total packages (with what they need); a fresh system takes 2 to 5 minutes"
# One line per tenth of the way instead of thousands of apt's; its errors pass.
set +e
apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}" 2>&1 |
  awk -v total="$total" '
    /^Get:/ { got++; if (total && got * 10 >= step_g * total) { printf "deps:   downloaded %d of %d\n", got, total; step_g++; fflush() } next }
    /^Setting up / { set++; if (total && set * 10 >= step_s * total) { printf "deps:   set up %d of %d\n", set, total; step_s++; fflush() } next }
    /^(E|W): / { print; fflush() }
    BEGIN { step_g = 1; step_s = 1 }'
rc=${PIPESTATUS[0]}
set -e
[ "$rc" = 0 ] || { echo "deps: apt-get failed ($rc); run it yourself to see why: $cmd" >&2; exit "$rc"; }
echo "deps: done"
