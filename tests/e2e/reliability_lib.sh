#!/usr/bin/env bash
# Helpers shared by the reliability scripts, on top of lib.sh.

rel_overlay_active() {
  local w
  w=$(e2e_overlay_window) || return 1
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$w" ]
}

# Presses the tray icon and waits until the overlay is up and has the keyboard.
rel_open_overlay() {
  local cx cy
  # The icon is a new window at every return to the tray: a press within a few
  # milliseconds of its mapping lands on the tray host, not on the icon.
  sleep 0.1
  read -r cx cy < <(e2e_tray_center) || fail "no tray icon to press"
  xdotool mousemove "$cx" "$cy" mousedown 1
  wait_for 5 e2e_overlay_window || fail "the tray press opened no full-screen overlay"
  xdotool mouseup 1
  wait_for 5 rel_overlay_active || fail "the overlay did not get the keyboard"
}

# A quick left drag from x0,y0 to x1,y1 through its midpoint.
rel_drag() {
  local x0=$1 y0=$2 x1=$3 y1=$4
  xdotool mousemove "$x0" "$y0" mousedown 1 \
    mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) sleep 0.02 \
    mousemove "$x1" "$y1" sleep 0.02 mouseup 1
}

# Resident memory of a process in kB.
rel_rss() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

# The program's X resources as "windows pixmaps GCs pictures cursors total-bytes",
# read with the X-Resource extension; the client is found by its process id.
rel_x_resources() {
  xrestop -b -m 1 2>/dev/null | awk -v pid="${1:-$MORVANE_PID}" '
    /^[0-9]+ - / { inside = ($0 ~ ("PID: *" pid " ")) }
    inside && /windows/ { w = $3 } inside && /pixmaps  / { p = $3 } inside && /GCs/ { g = $3 }
    inside && /pictures/ { q = $3 } inside && /cursors/ { c = $3 }
    inside && /total bytes/ { t = $4; sub(/~/, "", t); print w, p, g, q, c, t; exit }'
}

# Resizes the X screen to W x H (at most the size Xvfb started with) with RandR:
# a mode of that size is made and set on the one output, all in one connection
# (a mode made by a client that has gone is dropped again).
rel_set_screen() {
  python3 - "$1" "$2" <<'PY'
import ctypes as C, sys
w, h = int(sys.argv[1]), int(sys.argv[2])
x = C.cdll.LoadLibrary("libX11.so.6")
r = C.cdll.LoadLibrary("libXrandr.so.2")
class Mode(C.Structure):
    _fields_ = [("id", C.c_ulong), ("width", C.c_uint), ("height", C.c_uint), ("dotClock", C.c_ulong),
                ("hSyncStart", C.c_uint), ("hSyncEnd", C.c_uint), ("hTotal", C.c_uint), ("hSkew", C.c_uint),
                ("vSyncStart", C.c_uint), ("vSyncEnd", C.c_uint), ("vTotal", C.c_uint),
                ("name", C.c_char_p), ("nameLength", C.c_uint), ("modeFlags", C.c_ulong)]
class Res(C.Structure):
    _fields_ = [("timestamp", C.c_ulong), ("configTimestamp", C.c_ulong), ("ncrtc", C.c_int),
                ("crtcs", C.POINTER(C.c_ulong)), ("noutput", C.c_int), ("outputs", C.POINTER(C.c_ulong)),
                ("nmode", C.c_int), ("modes", C.POINTER(Mode))]
x.XOpenDisplay.restype = C.c_void_p
x.XDefaultRootWindow.argtypes = [C.c_void_p]; x.XDefaultRootWindow.restype = C.c_ulong
x.XSync.argtypes = [C.c_void_p, C.c_int]
r.XRRGetScreenResourcesCurrent.argtypes = [C.c_void_p, C.c_ulong]
r.XRRGetScreenResourcesCurrent.restype = C.POINTER(Res)
r.XRRCreateMode.argtypes = [C.c_void_p, C.c_ulong, C.POINTER(Mode)]; r.XRRCreateMode.restype = C.c_ulong
r.XRRAddOutputMode.argtypes = [C.c_void_p, C.c_ulong, C.c_ulong]
r.XRRSetCrtcConfig.argtypes = [C.c_void_p, C.POINTER(Res), C.c_ulong, C.c_ulong, C.c_int, C.c_int,
                               C.c_ulong, C.c_ushort, C.POINTER(C.c_ulong), C.c_int]
r.XRRSetScreenSize.argtypes = [C.c_void_p, C.c_ulong, C.c_int, C.c_int, C.c_int, C.c_int]
d = x.XOpenDisplay(None)
if not d:
    sys.exit("no display")
root = x.XDefaultRootWindow(d)
res = r.XRRGetScreenResourcesCurrent(d, root).contents
out, crtc = res.outputs[0], res.crtcs[0]
mode = next((res.modes[i].id for i in range(res.nmode)
             if res.modes[i].width == w and res.modes[i].height == h), 0)
if not mode:
    name = b"%dx%d" % (w, h)
    m = Mode(0, w, h, 60 * (w + 40) * (h + 10), w + 10, w + 20, w + 40, 0, h + 3, h + 6, h + 10,
             name, len(name), 0)
    mode = r.XRRCreateMode(d, root, C.byref(m))
    r.XRRAddOutputMode(d, out, mode)
r.XRRSetCrtcConfig(d, C.byref(res), crtc, 0, 0, 0, 0, 1, None, 0)
r.XRRSetScreenSize(d, root, w, h, int(w * 25.4 / 96), int(h * 25.4 / 96))
o = C.c_ulong(out)
r.XRRSetCrtcConfig(d, C.byref(res), crtc, 0, 0, 0, mode, 1, C.byref(o), 1)
x.XSync(d, 0)
PY
}

# "W H" of the X screen.
rel_screen_size() { xdpyinfo | awk '/dimensions:/ {split($2, a, "x"); print a[1], a[2]; exit}'; }
