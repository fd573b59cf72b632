#!/usr/bin/env bash
# End-to-end harness: a private Xvfb display with icewm and its tray, and the
# real morvane binary copied into a fresh program folder.
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_start_x [WxH] [DPI] [DEPTH]    # Xvfb + icewm, waits for the tray
#   e2e_start_xorg_dummy                # the same on two monitors (Xorg, root)
#   e2e_start_morvane                   # copies the binary to $APPDIR, starts it
#   e2e_wait_tray_icon                  # waits until the tray icon is embedded
#   e2e_shot NAME                       # screenshot to $E2E_OUT/NAME.png
#   e2e_pixel X Y                       # "r g b" of the live screen
#   ... then fail "why" or pass. Only processes started here are ever killed.
set -uo pipefail

E2E_NAME=$(basename "${0%.sh}")
E2E_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/morvane-e2e.XXXXXX")
E2E_OUT=${E2E_OUT:-$E2E_ROOT/shots}
APPDIR=$E2E_ROOT/app
INI=$APPDIR/Morvane.ini
mkdir -p "$E2E_OUT" "$APPDIR"
E2E_PIDS=()
MORVANE_PID=

: "${MORVANE_BIN:?MORVANE_BIN must point at the built morvane}"

e2e_cleanup() {
  local pid
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${E2E_PIDS[i]}
    kill "$pid" 2>/dev/null
  done
  for pid in "${E2E_PIDS[@]}"; do
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null
  done
  # Nothing stays in /tmp unless asked (E2E_KEEP=1); a second try covers a
  # file written while the first one ran.
  if [ -z "${E2E_KEEP:-}" ]; then rm -rf "$E2E_ROOT" 2>/dev/null || { sleep 0.5; rm -rf "$E2E_ROOT"; }; fi
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "FAIL [$E2E_NAME]: $*" >&2
  if [ -n "${E2E_KEEP:-}" ]; then echo "kept: $E2E_ROOT" >&2; fi
  exit 1
}
pass() {
  echo "PASS [$E2E_NAME]${1:+: $1}"
  exit 0
}

# Polls a command until it succeeds, for at most $1 seconds.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit)) n=0
  while :; do
    "$@" >/dev/null 2>&1 && return 0
    [ $SECONDS -ge $end ] && return 1
    n=$((n + 1))
    sleep 0.05
  done
}

# The median of the numbers given (the probes' figures).
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

e2e_start_x() {
  local size=${1:-1280x800} dpi=${2:-96} depth=${3:-24}
  command -v Xvfb >/dev/null || fail "Xvfb is not installed (run scripts/deps.sh)"
  local fdfile=$E2E_ROOT/display
  rm -f "$fdfile" # a second server in the same test must not read the first one's number
  Xvfb -displayfd 3 -screen 0 "${size}x${depth}" -dpi "$dpi" -nolisten tcp -noreset 3>"$fdfile" \
    >"$E2E_ROOT/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 test -s "$fdfile" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  e2e_start_session
}

# Two 1280 x 800 monitors side by side on one X screen, the primary on the
# right: Xorg with the dummy driver (Xvfb ignores monitors). Xorg needs root.
e2e_start_xorg_dummy() {
  command -v Xorg >/dev/null || fail "Xorg is not installed (run scripts/deps.sh)"
  [ "$(id -u)" = 0 ] || fail "Xorg with the dummy driver needs root"
  local fdfile=$E2E_ROOT/display
  rm -f "$fdfile" # a second server in the same test must not read the first one's number
  cat >"$E2E_ROOT/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2560 800
  EndSubSection
EndSection
CONF
  Xorg -displayfd 3 -config "$E2E_ROOT/xorg.conf" -logfile "$E2E_ROOT/xorg.log" -noreset \
    -nolisten tcp 3>"$fdfile" >"$E2E_ROOT/xorg.out" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 20 test -s "$fdfile" || fail "Xorg did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  # In this order: the monitors, then the dummy output off, then the screen size.
  xrandr --setmonitor VIRT-L 1280/338x800/211+0+0 none &&
    xrandr --setmonitor '*VIRT-R' 1280/338x800/211+1280+0 none &&
    xrandr --output DUMMY0 --off && xrandr --fb 2560x800 || fail "xrandr could not set the monitors"
  e2e_start_session
}

# The desktop session on $DISPLAY: a private environment and icewm with its tray.
e2e_start_session() {
  export DBUS_SESSION_BUS_ADDRESS=disabled:
  export XDG_RUNTIME_DIR=$E2E_ROOT/runtime
  export XDG_CONFIG_HOME=$E2E_ROOT/config
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
  unset QT_QPA_PLATFORM QT_SCALE_FACTOR
  # A plain grey desktop with a pattern, so captures can be compared.
  xsetroot -solid '#5a7a9a' 2>/dev/null
  export ICEWM_PRIVCFG=$E2E_ROOT/icewm
  mkdir -p "$ICEWM_PRIVCFG"
  cat >"$ICEWM_PRIVCFG/preferences" <<'PREFS'
TaskBarEnableSystemTray=1
TaskBarShowClock=0
TaskBarShowAPMStatus=0
TaskBarShowMailboxStatus=0
TaskBarShowCPUStatus=0
TaskBarShowNetStatus=0
TaskBarShowMEMStatus=0
ShowTaskBar=1
DesktopBackgroundColor="#5a7a9a"
PREFS
  icewm >"$E2E_ROOT/icewm.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 e2e_tray_ready || fail "icewm's tray did not come up"
}

# The tray is ready when its selection has an owner; an icon added before that is lost.
e2e_tray_ready() {
  python3 - <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XInternAtom.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XGetSelectionOwner.restype = ctypes.c_ulong
d = x.XOpenDisplay(None)
sys.exit(0 if d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)
PY
}

# Starts the copied program in $APPDIR; extra arguments go to the environment.
e2e_start_morvane() {
  cp "$MORVANE_BIN" "$APPDIR/morvane"
  if [ -n "${MORVANE_HELP:-}" ] && [ -f "$MORVANE_HELP" ]; then cp "$MORVANE_HELP" "$APPDIR/"; fi
  (cd "$APPDIR" && exec env "$@" ./morvane >"$E2E_ROOT/morvane.log" 2>&1) &
  MORVANE_PID=$!
  E2E_PIDS+=($MORVANE_PID)
}

# Starts the program and waits for its tray icon; one fresh start if the icon
# was never embedded (it happens now and then on a busy machine).
e2e_start_with_icon() {
  wait_for 10 e2e_tray_ready || fail "icewm's tray has no owner"
  e2e_start_morvane "$@"
  if ! e2e_wait_tray_icon 10; then
    kill "$MORVANE_PID" 2>/dev/null
    e2e_wait_exit 5
    e2e_start_morvane "$@"
    e2e_wait_tray_icon 15 || fail "no tray icon appeared"
  fi
}

# The visible window of the program that covers the whole $W x $H screen (or
# monitor, with its top-left corner at $OX, $OY).
e2e_overlay_window() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    if [ "$WIDTH" = "$W" ] && [ "$HEIGHT" = "$H" ] && [ "$X" = "${OX:-0}" ] && [ "$Y" = "${OY:-0}" ]; then
      echo "$w"
      return 0
    fi
  done
  return 1
}
e2e_no_overlay() { ! e2e_overlay_window >/dev/null; }

# The first visible window whose title contains TITLE (the settings
# dialog: 'の設定'). Run in the caller's locale on purpose: a window manager in
# the POSIX locale must read the Japanese titles too.
e2e_window_named() {
  local w
  w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
  [ -n "$w" ] && echo "$w"
}
e2e_no_window_named() { [ -z "$(e2e_window_named "$1")" ]; }

e2e_alive() { kill -0 "$MORVANE_PID" 2>/dev/null; }

# Waits for the program to end by itself; returns its exit status.
e2e_wait_exit() {
  local limit=${1:-10}
  wait_for "$limit" bash -c "! kill -0 $MORVANE_PID" || return 124
  wait "$MORVANE_PID" 2>/dev/null
}

# The tray icon's own window (Qt names it after the program's class "morvane").
e2e_tray_window() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    local g
    g=$(xdotool getwindowgeometry "$w" 2>/dev/null | awk '/Geometry/ {print $2}')
    if [ "$g" != "" ] && [ "${g%x*}" -le 64 ] && [ "${g#*x}" -le 64 ]; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

# The program's small visible windows (tray or floating icon), one per line: "X Y WIDTH HEIGHT".
e2e_small_windows() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then echo "$X $Y $WIDTH $HEIGHT"; fi
  done
}
# The floating icon, alone among those windows, at X Y and SIZE pixels square
# (22 by default); no such window at all.
e2e_icon_at() { [ "$(e2e_small_windows)" = "$1 $2 ${3:-22} ${3:-22}" ]; }
e2e_no_icon() { [ -z "$(e2e_small_windows)" ]; }

e2e_wait_tray_icon() { wait_for "${1:-10}" e2e_tray_window; }
e2e_wait_no_tray_icon() { wait_for "${1:-10}" bash -c "$(declare -f e2e_tray_window); ! e2e_tray_window"; }

# Centre of the tray icon in screen pixels: "X Y", for a press that follows.
# Qt takes a press within its double-click time (400 ms) of the last one at
# that spot for a double-click, though the icon is a new window by then: a
# quick test would open nothing. So a press comes no sooner than 0.5 s after
# the last (kept in a file: callers run this in a subshell).
e2e_tray_center() {
  local w now last
  w=$(e2e_tray_window) || return 1
  now=$(date +%s%N)
  last=$(cat "$E2E_ROOT/tray-press" 2>/dev/null || echo 0)
  if [ $((now - last)) -lt 500000000 ]; then
    sleep "0.$(printf '%09d' $((500000000 - (now - last))))"
  fi
  date +%s%N >"$E2E_ROOT/tray-press"
  eval "$(xdotool getwindowgeometry --shell "$w")"
  echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
}

# A block of one colour "r g b" at X Y of size W H, above the desktop until the test ends.
e2e_block() {
  python3 - "$@" <<'PY' &
import ctypes, signal, sys, time
x0, y0, w, h, r, g, b = map(int, sys.argv[1:8])
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
class Attrs(ctypes.Structure):
    _fields_ = [("background_pixmap", ctypes.c_ulong), ("background_pixel", ctypes.c_ulong),
                ("border_pixmap", ctypes.c_ulong), ("border_pixel", ctypes.c_ulong),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("cursor", ctypes.c_ulong)]
x.XCreateWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                            ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_int,
                            ctypes.c_uint, ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(Attrs)]
x.XCreateWindow.restype = ctypes.c_ulong
x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XFlush.argtypes = [ctypes.c_void_p]
d = x.XOpenDisplay(None)
a = Attrs(background_pixel=(r << 16) | (g << 8) | b, override_redirect=1)
# CWBackPixel | CWOverrideRedirect, depth and visual from the parent
win = x.XCreateWindow(d, x.XDefaultRootWindow(d), x0, y0, w, h, 0, 0, 1, None, 2 | 512, ctypes.byref(a))
x.XMapWindow(d, win)
x.XFlush(d)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
while True:
    time.sleep(1)
PY
  E2E_PIDS+=($!)
}

# A left drag through the points "x,y ...": one motion event per point (the
# pauses keep the toolkit from folding the motions into one).
e2e_drag() {
  local p=$1
  shift
  xdotool mousemove "${p%,*}" "${p#*,}" mousedown 1
  for p in "$@"; do
    sleep 0.05
    xdotool mousemove "${p%,*}" "${p#*,}"
  done
  sleep 0.05
  xdotool mouseup 1
  sleep 0.3
}
# The same with keys held from before the press to after the release (a shape).
e2e_drag_holding() {
  local keys=$1
  shift
  xdotool keydown "$keys"
  sleep 0.05
  e2e_drag "$@"
  xdotool keyup "$keys"
}
# How many pixels of the live screen's rectangle "WxH+X+Y" are "r g b".
e2e_count() {
  /usr/bin/convert "x:root[$1]" -depth 8 txt:- 2>/dev/null | grep -c "($2)\|(${2// /,})"
}
# Paints the rectangle "x0,y0 x1,y1" of a screenshot black: parts that may differ.
e2e_blank() { /usr/bin/convert "$1" -fill black -draw "rectangle $2" "$1"; }

e2e_shot() {
  local name=$1
  import -window root "$E2E_OUT/$name.png" 2>/dev/null || xwd -root -silent | convert xwd:- "$E2E_OUT/$name.png"
  echo "$E2E_OUT/$name.png"
}

# "r g b" of one pixel of the live screen.
e2e_pixel() {
  local x=$1 y=$2
  /usr/bin/convert x:root[1x1+$x+$y] -depth 8 txt:- 2>/dev/null | tail -n1 |
    sed -E 's/.*srgb\(([0-9]+),([0-9]+),([0-9]+)\).*/\1 \2 \3/; s/.*\(([0-9]+),([0-9]+),([0-9]+)\).*/\1 \2 \3/'
}

ini_get() { # section key
  awk -v s="[$1]" -v k="$2" 'BEGIN{IGNORECASE=1} {sub(/\r$/,"")} /^\[/{ins=($0==s)} ins && index($0,k"=")==1 {sub(/^[^=]*=/,""); sub(/\r$/,""); print; exit}' "$INI"
}

# ---- Wayland: headless sway with XWayland and swaybar's StatusNotifierItem tray
#   e2e_as_wayland_user "$0" "$@"   # first line of a Wayland script (see below)
#   e2e_start_sway [WIDTHxHEIGHT]    # sway ($SWAY_PID), XWayland's DISPLAY, a pointer and a keyboard
#   e2e_pointer move X Y | press | release
#   e2e_wl_pixel X Y                 # "r g b" of the live Wayland screen
#   e2e_sni_item                     # the first registered tray item: SERVICE/PATH
#   e2e_sni_call ITEM METHOD [ARGS]  # a StatusNotifierItem method, e.g. Activate
#   e2e_start_kwin [WIDTHxHEIGHT]    # KDE's KWin instead ($KWIN_PID), XWayland, kded5's tray watcher
#   e2e_start_portal [DESKTOP BACKEND...]  # the screenshot portal (sway: wlr gtk)
#   e2e_way_was WAY                  # the capture way MORVANE_TRACE=1 says was kept

# sway refuses to run as root. As root this runs the calling script again as a
# user made for the run, in a D-Bus session of its own, from a folder that
# user owns (CI's checkout may be unreadable to it), with the sanitizer
# settings passed on; then exits with the script's status. Inside, it returns.
e2e_as_wayland_user() {
  if [ -n "${E2E_WAYLAND_INSIDE:-}" ]; then
    exec 1>&3 2>&4 3>&- 4>&-
    return 0
  fi
  local script=$1 top lib
  shift
  lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  top=$(cd "$lib/../.." && pwd)
  script=$(cd "$(dirname "$script")" && pwd)/$(basename "$script")
  local rel=${script#"$top"/}
  E2E_WL_DIR=$(mktemp -d /tmp/morvane-wl.XXXXXX)
  mkdir -p "$E2E_WL_DIR/tests/e2e" "$E2E_WL_DIR/$(dirname "$rel")"
  cp "$lib"/*.sh "$lib"/*.py "$E2E_WL_DIR/tests/e2e/" && cp "$script" "$E2E_WL_DIR/$rel" &&
    cp "$MORVANE_BIN" "$E2E_WL_DIR/morvane" || fail "could not copy the test into $E2E_WL_DIR"
  if [ -n "${MORVANE_HELP:-}" ] && [ -f "$MORVANE_HELP" ]; then cp "$MORVANE_HELP" "$E2E_WL_DIR/"; fi
  # A probe's own helper program (bench/probe_wayland.sh).
  if [ -n "${E2E_WL_TOOL:-}" ]; then cp "$E2E_WL_TOOL" "$E2E_WL_DIR/tool" || fail "no $E2E_WL_TOOL"; fi
  local lsan=${LSAN_OPTIONS:-}
  if [[ $lsan =~ suppressions=([^:]+) ]] && [ -f "${BASH_REMATCH[1]}" ]; then
    cp "${BASH_REMATCH[1]}" "$E2E_WL_DIR/lsan.supp"
    lsan=${lsan//${BASH_REMATCH[1]}/$E2E_WL_DIR/lsan.supp}
  fi
  mkdir -m 700 "$E2E_WL_DIR/runtime" # removed only after the session's services have ended
  local run=() pass=(LANG=C.UTF-8 E2E_WAYLAND_INSIDE=1 "HOME=$E2E_WL_DIR" "TMPDIR=$E2E_WL_DIR" "PATH=$PATH"
    "XDG_RUNTIME_DIR=$E2E_WL_DIR/runtime"
    "MORVANE_BIN=$E2E_WL_DIR/morvane" "MORVANE_HELP=$E2E_WL_DIR/Morvane.html" "LSAN_OPTIONS=$lsan")
  local v
  [ -n "${E2E_WL_TOOL:-}" ] && pass+=("E2E_WL_TOOL=$E2E_WL_DIR/tool")
  for v in ASAN_OPTIONS UBSAN_OPTIONS E2E_KEEP REPS WAYS; do
    if [ -n "${!v:-}" ]; then pass+=("$v=${!v}"); fi
  done
  if [ "$(id -u)" = 0 ]; then
    E2E_WL_USER=morvanewl$$
    useradd -M -N -d "$E2E_WL_DIR" -s /bin/sh "$E2E_WL_USER" || fail "could not create a test user"
    chown -R "$E2E_WL_USER" "$E2E_WL_DIR"
    run=(runuser -u "$E2E_WL_USER" --)
    # X's socket folder, root's and open to all: KWin does not make it, and
    # sway's XWayland would make it the test user's, which KWin and mutter refuse.
    install -d -m 1777 -o root -g root /tmp/.X11-unix
  fi
  # The script writes to fds 3 and 4; what the session's services say goes to a log.
  # From the user's own folder: the session's programs (foot) start where they
  # are started, and a checkout under /root is closed to that user.
  (cd "$E2E_WL_DIR" && exec "${run[@]}" env -i "${pass[@]}" timeout "${E2E_WL_TIMEOUT:-280}" dbus-run-session -- \
    bash "$E2E_WL_DIR/$rel" "$@" 3>&1 4>&2 >"$E2E_WL_DIR/session.log" 2>&1)
  local rc=$?
  if [ $rc != 0 ]; then tail -n 15 "$E2E_WL_DIR/session.log" >&2; fi
  exit $rc
}

e2e_wl_cleanup() {
  local m
  # The document portal's mount (runtime/doc) may outlive the session that
  # made it, and would keep the folder from going.
  if [ -n "${E2E_WL_DIR:-}" ]; then
    for m in $(awk -v d="$E2E_WL_DIR/" 'index($2, d) == 1 {print $2}' /proc/mounts); do
      umount -l "$m" 2>/dev/null || fusermount3 -uz "$m" 2>/dev/null
    done
  fi
  if [ -n "${E2E_WL_USER:-}" ]; then userdel -f "$E2E_WL_USER" 2>/dev/null; fi
  if [ -n "${E2E_WL_DIR:-}" ]; then
    if [ -n "${E2E_KEEP:-}" ]; then echo "kept: $E2E_WL_DIR" >&2; else rm -rf "$E2E_WL_DIR"; fi
  fi
}
trap 'e2e_cleanup; e2e_wl_cleanup' EXIT

e2e_start_sway() {
  local size=${1:-1280x800} t
  for t in sway Xwayland grim wtype foot dbus-send python3; do
    command -v "$t" >/dev/null || fail "$t is not installed (run scripts/deps.sh)"
  done
  W=${size%x*} H=${size#*x}
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$E2E_ROOT/runtime} XDG_CONFIG_HOME=$E2E_ROOT/config
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK QT_QPA_PLATFORM QT_SCALE_FACTOR XDG_SESSION_TYPE
  cat >"$E2E_ROOT/sway.cfg" <<CFG
xwayland enable
output HEADLESS-1 mode $size bg #336699 solid_color
default_border none
bar {
  status_command true
  tray_output *
}
CFG
  WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$E2E_ROOT/sway.cfg" >"$E2E_ROOT/sway.log" 2>&1 &
  SWAY_PID=$!
  E2E_PIDS+=($SWAY_PID)
  sway_up() { ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock && ls "$XDG_RUNTIME_DIR"/wayland-[0-9]; }
  wait_for 10 sway_up || fail "sway did not start: $(tail -n3 "$E2E_ROOT/sway.log")"
  SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n1)
  WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-[0-9] | head -n1)")
  export SWAYSOCK WAYLAND_DISPLAY
  # XWayland's display, as sway hands it to the programs it starts.
  swaymsg exec "echo \$DISPLAY >$E2E_ROOT/xdisplay" >/dev/null
  wait_for 10 test -s "$E2E_ROOT/xdisplay" || fail "sway gave no XWayland display"
  DISPLAY=$(cat "$E2E_ROOT/xdisplay")
  export DISPLAY
  # Headless sway has no input device: without one its seat offers clients no
  # pointer and, between two wtype runs, no keyboard, and XWayland loses the
  # first key of each run. A virtual pointer and an idle wtype stay plugged in.
  e2e_fifo_helper pointer wl_pointer.py 5 || fail "no virtual pointer: $(cat "$E2E_ROOT/pointer.log")"
  wtype -s 100000000 &
  E2E_PIDS+=($!)
}

# KDE Plasma's compositor, headless: KWin's virtual back end with XWayland
# ($KWIN_PID; DISPLAY is XWayland's) and kded5, whose watcher is the tray host.
# Input goes through XWayland (xdotool): KWin has no virtual keyboard for wtype.
# Menu entries for the session go into $E2E_ROOT/data/applications first.
e2e_start_kwin() {
  local size=${1:-1280x800} t
  for t in kwin_wayland Xwayland kded5 xdotool dbus-send dbus-update-activation-environment python3; do
    command -v "$t" >/dev/null || fail "$t is not installed (run scripts/deps.sh --kde)"
  done
  W=${size%x*} H=${size#*x}
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$E2E_ROOT/runtime} XDG_CONFIG_HOME=$E2E_ROOT/config
  export XDG_DATA_HOME=$E2E_ROOT/data XDG_CACHE_HOME=$E2E_ROOT/cache
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" &&
    chmod 700 "$XDG_RUNTIME_DIR"
  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK QT_QPA_PLATFORM QT_SCALE_FACTOR
  export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
  # KWin locks an idle screen after 5 minutes, and every screenshot waits behind the lock.
  printf '[Daemon]\nAutolock=false\nLockOnResume=false\n' >"$XDG_CONFIG_HOME/kscreenlockerrc"
  # A copy: the installed binary carries file capabilities, which containers refuse to execute.
  cp "$(command -v kwin_wayland)" "$E2E_ROOT/kwin_wayland" || fail "could not copy kwin_wayland"
  # KWin hands the programs it starts its XWayland display.
  printf '#!/bin/sh\necho "$DISPLAY" >"%s.new" && mv "%s.new" "%s"\n' \
    "$E2E_ROOT/xdisplay" "$E2E_ROOT/xdisplay" "$E2E_ROOT/xdisplay" >"$E2E_ROOT/kwin-child.sh"
  chmod +x "$E2E_ROOT/kwin-child.sh"
  "$E2E_ROOT/kwin_wayland" --virtual --xwayland --width "$W" --height "$H" --socket wayland-kwin \
    "$E2E_ROOT/kwin-child.sh" >"$E2E_ROOT/kwin.log" 2>&1 &
  KWIN_PID=$!
  E2E_PIDS+=($KWIN_PID)
  wait_for 30 test -s "$E2E_ROOT/xdisplay" || fail "KWin did not start: $(tail -n3 "$E2E_ROOT/kwin.log")"
  DISPLAY=$(cat "$E2E_ROOT/xdisplay") WAYLAND_DISPLAY=wayland-kwin
  export DISPLAY WAYLAND_DISPLAY
  dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    KDE_FULL_SESSION KDE_SESSION_VERSION XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME PATH
  kded5 >"$E2E_ROOT/kded5.log" 2>&1 &
  E2E_PIDS+=($!)
  watcher_up() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
      org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:IsStatusNotifierHostRegistered
  }
  wait_for 30 watcher_up || fail "kded5 offers no tray watcher: $(tail -n3 "$E2E_ROOT/kded5.log")"
}

# The desktop's screenshot portal, started and answering: DESKTOP (sway) and
# the back ends (wlr gtk) it may use, no others.
e2e_start_portal() {
  local desktop=${1:-sway} t
  local backends=("${@:2}")
  [ ${#backends[@]} = 0 ] && backends=(wlr gtk)
  for t in pipewire /usr/libexec/xdg-desktop-portal gdbus; do
    command -v "$t" >/dev/null || fail "$t is not installed (run scripts/deps.sh)"
  done
  # Before pipewire, which already asks for the portal: the portals read these
  # at their start.
  export XDG_CURRENT_DESKTOP=$desktop
  # Only these back ends: other desktops' .portal files, once installed
  # (gnome-shell's), would answer Access here in their place.
  export XDG_DESKTOP_PORTAL_DIR=$E2E_ROOT/portals
  mkdir -p "$XDG_DESKTOP_PORTAL_DIR"
  for t in "${backends[@]}"; do
    cp "/usr/share/xdg-desktop-portal/portals/$t.portal" "$XDG_DESKTOP_PORTAL_DIR/" ||
      fail "the $t portal back end is not installed (run scripts/deps.sh)"
  done
  dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR PATH \
    XDG_DESKTOP_PORTAL_DIR
  pipewire >"$E2E_ROOT/pipewire.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "pipewire did not start"
  portal_up() {
    gdbus call --session --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
      --method org.freedesktop.DBus.Properties.Get "'org.freedesktop.portal.Screenshot'" "'version'"
  }
  wait_for "${E2E_PORTAL_WAIT:-15}" portal_up || fail "no screenshot portal: $(portal_up 2>&1)"
}

# A helper script beside this file that reads its commands from the fifo
# $E2E_ROOT/NAME and logs to NAME.log: up once it says "ready" within SECONDS.
e2e_fifo_helper() { # NAME SCRIPT SECONDS
  mkfifo "$E2E_ROOT/$1"
  python3 "$(dirname "${BASH_SOURCE[0]}")/$2" <"$E2E_ROOT/$1" >"$E2E_ROOT/$1.log" 2>&1 &
  E2E_PIDS+=($!)
  sleep 100000 >"$E2E_ROOT/$1" & # the fifo stays open between commands
  E2E_PIDS+=($!)
  wait_for "$3" grep -q ready "$E2E_ROOT/$1.log"
}

e2e_pointer() {
  local n
  n=$(wc -l <"$E2E_ROOT/pointer.log")
  case $1 in move) echo "move $2 $3 $W $H" ;; *) echo "$1" ;; esac >"$E2E_ROOT/pointer"
  wait_for 5 bash -c "[ \$(wc -l <'$E2E_ROOT/pointer.log') -gt $n ]"
}

e2e_wl_pixel() { grim -g "$1,$2 1x1" -t ppm - 2>/dev/null | tail -c 3 | od -An -tu1 | xargs; }

e2e_sni_item() {
  dbus-send --session --print-reply=literal --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems 2>/dev/null | grep -o '[^ ]*/StatusNotifierItem' | head -n1 | grep .
}

e2e_sni_call() {
  local item=$1 method=$2
  shift 2
  dbus-send --session --print-reply --dest="${item%%/*}" "/${item#*/}" "org.kde.StatusNotifierItem.$method" "$@"
}

# The way that made the picture, as MORVANE_TRACE=1 names it.
e2e_way_was() {
  grep -q "kept-capture $1\$" "$E2E_ROOT/morvane.log" ||
    fail "the picture was not made by $1: $(grep -e kept-capture -e 'capture.*failed' "$E2E_ROOT/morvane.log")"
}

# The program's open menu (an X window): "X Y WIDTH HEIGHT".
e2e_menu_window() {
  local w
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    if [ "$HEIGHT" -gt 60 ] && [ "$HEIGHT" -lt 400 ]; then
      echo "$X $Y $WIDTH $HEIGHT"
      return 0
    fi
  done
  return 1
}

# sway's windows, one per line: "SHELL FULLSCREEN(0|1) FOCUSED(0|1) APP_ID-or-CLASS NAME"
e2e_wl_windows() {
  swaymsg -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("type") in ("con", "floating_con") and n.get("shell"):
        props = n.get("window_properties") or {}
        print(n["shell"], n.get("fullscreen_mode", 0), int(bool(n.get("focused"))),
              n.get("app_id") or props.get("class") or "-", n.get("name") or "")
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))'
}

# ---- Wayland: headless GNOME Shell (mutter) with XWayland
#   e2e_start_gnome [WIDTHxHEIGHT]   # the shell ($GNOME_PID), XWayland's DISPLAY, out of the Overview
#   e2e_gnome KEY|move|click|shot ... # a command to tests/e2e/gnome_shell.py (see there)
#   e2e_start_sni_watcher            # a tray host stand-in: Qt's icon becomes an item
#   e2e_start_gnome_portal           # the screenshot portal with GNOME's back ends only

e2e_start_gnome() {
  local size=${1:-1280x800} t
  for t in gnome-shell Xwayland dbus-daemon dbus-update-activation-environment python3 xdotool; do
    command -v "$t" >/dev/null || fail "$t is not installed (run scripts/deps.sh --gnome)"
  done
  python3 -c 'import gi; gi.require_version("Gtk", "3.0"); from gi.repository import Gio, Gtk' 2>/dev/null ||
    fail "python3-gi or gir1.2-gtk-3.0 is not installed (run scripts/deps.sh --gnome)"
  W=${size%x*} H=${size#*x}
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$E2E_ROOT/runtime} XDG_CONFIG_HOME=$E2E_ROOT/config
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK QT_QPA_PLATFORM QT_SCALE_FACTOR XAUTHORITY
  # Without logind the shell still wants a system bus: a private one will do.
  dbus-daemon --session --nofork --address="unix:path=$E2E_ROOT/system_bus" >"$E2E_ROOT/system_bus.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 test -S "$E2E_ROOT/system_bus" || fail "the private system bus did not start"
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$E2E_ROOT/system_bus
  export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
  dbus-update-activation-environment XDG_CURRENT_DESKTOP XDG_SESSION_TYPE XDG_RUNTIME_DIR PATH \
    DBUS_SYSTEM_BUS_ADDRESS
  gnome-shell --headless --wayland --virtual-monitor "$size" >"$E2E_ROOT/gnome-shell.log" 2>&1 &
  GNOME_PID=$!
  E2E_PIDS+=($GNOME_PID)
  # XWayland is the shell's child; its display and its -auth file are on its command line.
  xwayland_pid() { pgrep -P "$GNOME_PID" -x Xwayland; }
  wait_for 30 xwayland_pid || fail "GNOME Shell started no XWayland: $(tail -n5 "$E2E_ROOT/gnome-shell.log")"
  local args
  args=$(tr '\0' '\n' <"/proc/$(xwayland_pid)/cmdline")
  DISPLAY=$(echo "$args" | grep -m1 '^:[0-9]')
  XAUTHORITY=$(echo "$args" | grep -A1 -x -- -auth | tail -n1)
  WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-[0-9] | head -n1)")
  export DISPLAY XAUTHORITY WAYLAND_DISPLAY
  [ -n "$DISPLAY" ] && [ -f "$XAUTHORITY" ] || fail "no XWayland display in: $(echo $args)"
  wait_for 30 xdotool getmouselocation || fail "XWayland $DISPLAY does not answer"
  dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY
  e2e_fifo_helper gnome_in gnome_shell.py 30 || fail "no RemoteDesktop session: $(cat "$E2E_ROOT/gnome_in.log")"
  # The shell starts in the Overview, which holds the keyboard: Escape leaves it.
  e2e_gnome key 0xff1b || fail "the shell took no key: $(tail -n1 "$E2E_ROOT/gnome_in.log")"
  gnome_in_overview() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
      --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive | grep -q true
  }
  wait_for 15 bash -c "$(declare -f gnome_in_overview); ! gnome_in_overview" || fail "the shell stayed in the Overview"
}

# One command to gnome_shell.py; fails when it reports a failure.
e2e_gnome() {
  local n
  n=$(wc -l <"$E2E_ROOT/gnome_in.log")
  echo "$*" >"$E2E_ROOT/gnome_in"
  wait_for 30 bash -c "[ \$(wc -l <'$E2E_ROOT/gnome_in.log') -gt $n ]" || return 1
  tail -n +$((n + 1)) "$E2E_ROOT/gnome_in.log" | grep -q '^ok '
}

e2e_start_sni_watcher() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/sni_watcher.py" >"$E2E_ROOT/sni_watcher.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 15 grep -q ready "$E2E_ROOT/sni_watcher.log" || fail "no tray watcher: $(cat "$E2E_ROOT/sni_watcher.log")"
}

# GNOME's screenshot back end and the shell's Access dialog (the first-use
# question), from a folder of their own: no other desktop's .portal file answers.
# The shell's portal is slower to come up than the others.
e2e_start_gnome_portal() { E2E_PORTAL_WAIT=30 e2e_start_portal GNOME gnome gnome-shell; }
