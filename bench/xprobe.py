#!/usr/bin/env python3
"""A small X client for the display probe: presses and drags with XTest and
polls the screen's pixels with XGetSubImage, timing on the monotonic clock.

  xprobe.py open X Y R,G,B           press at the pointer, wait for pixel (X, Y)
                                     to turn R,G,B; prints press time, latency
  xprobe.py drag Y X0 X1 STEPS R,G,B left drag along row Y in STEPS moves, then
                                     wait until every pixel X0..X1 of row Y is R,G,B
  xprobe.py launch X Y CMD...          run CMD, wait for pixel (X, Y) to change from
                                     what it showed; prints start time, latency
  xprobe.py idle PID SECONDS         CPU, context switches and RSS over SECONDS
  xprobe.py smaps PID                resident memory by mapping, largest first
"""
import ctypes
import glob
import os
import sys
import time

POLL_LIMIT = 5.0  # seconds


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Display:
    def __init__(self):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XGetImage.restype = ctypes.POINTER(XImage)
        x.XGetSubImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                   ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int,
                                   ctypes.POINTER(XImage), ctypes.c_int, ctypes.c_int]
        x.XGetSubImage.restype = ctypes.POINTER(XImage)
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.x = x
        self.d = x.XOpenDisplay(None)
        if not self.d:
            sys.exit("xprobe: cannot open the display")
        self.root = x.XDefaultRootWindow(self.d)
        self.images = {}

    def row(self, x0, y, w):
        """Pixels (x0..x0+w-1, y) as bytes B,G,R,X per pixel."""
        img = self.images.get(w)
        if img is None:
            img = self.x.XGetImage(self.d, self.root, x0, y, w, 1, 0xFFFFFFFF, 2)
            self.images[w] = img
        else:
            self.x.XGetSubImage(self.d, self.root, x0, y, w, 1, 0xFFFFFFFF, 2, img, 0, 0)
        return ctypes.string_at(img.contents.data, w * 4)

    def button(self, down):
        self.xtst.XTestFakeButtonEvent(self.d, 1, 1 if down else 0, 0)
        self.x.XFlush(self.d)

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.d, -1, x, y, 0)


def rgb(text):
    r, g, b = (int(v) for v in text.split(","))
    return r, g, b


def all_of(data, colour):
    r, g, b = colour
    n = len(data) // 4
    return data[0::4] == bytes([b]) * n and data[1::4] == bytes([g]) * n and data[2::4] == bytes([r]) * n


def wait_for(disp, x0, y, w, colour, t0):
    polls = 0
    while True:
        data = disp.row(x0, y, w)
        polls += 1
        now = time.monotonic()
        if all_of(data, colour):
            return now - t0, polls
        if now - t0 > POLL_LIMIT:
            return None, polls


def cmd_open(x, y, colour, keys=None):
    """From a press of the button (or of the key chord `keys`, X keysym names
    joined by "+") to the first frame whose pixel has the colour."""
    disp = Display()
    disp.row(x, y, 1)  # the first request sets the image up
    codes = []
    if keys:
        disp.x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        disp.x.XStringToKeysym.restype = ctypes.c_ulong
        disp.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        disp.x.XKeysymToKeycode.restype = ctypes.c_ubyte
        disp.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        codes = [disp.x.XKeysymToKeycode(disp.d, disp.x.XStringToKeysym(k.encode()))
                 for k in keys.split("+")]
    t0 = time.monotonic()
    if codes:
        for c in codes:
            disp.xtst.XTestFakeKeyEvent(disp.d, c, 1, 0)
        for c in reversed(codes):
            disp.xtst.XTestFakeKeyEvent(disp.d, c, 0, 0)
        disp.x.XFlush(disp.d)
    else:
        disp.button(True)
    dt, polls = wait_for(disp, x, y, 1, colour, t0)
    # What the rest of the screen shows in the first frame: the capture, not the window's colour.
    mid = disp.row(0, 100, 8)
    disp.button(False)
    disp.x.XSync(disp.d, 0)
    if dt is None:
        print(f"press {t0 * 1000:.3f} latency none polls {polls}")
        return 1
    b, g, r = mid[0], mid[1], mid[2]
    print(f"press {t0 * 1000:.3f} latency {dt * 1000:.3f} polls {polls} "
          f"poll_ms {dt * 1000 / polls:.3f} first_frame_rgb {r},{g},{b}")
    return 0


def cmd_launch(x, y, argv):
    """Another program's capture window (Flameshot): from its command to the
    first frame that changes the pixel, whatever colour that frame has."""
    import subprocess
    disp = Display()
    before = disp.row(x, y, 1)
    t0 = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    polls = 0
    dt = None
    while True:
        polls += 1
        now = time.monotonic()
        if disp.row(x, y, 1) != before:
            dt = now - t0
            break
        if now - t0 > POLL_LIMIT:
            break
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        proc.kill()
    if dt is None:
        print(f"start {t0 * 1000:.3f} latency none polls {polls}")
        return 1
    print(f"start {t0 * 1000:.3f} latency {dt * 1000:.3f} polls {polls} poll_ms {dt * 1000 / polls:.3f}")
    return 0


def cmd_drag(y, x0, x1, steps, colour):
    disp = Display()
    disp.move(x0, y)
    disp.x.XSync(disp.d, 0)
    disp.row(x0, y, x1 - x0 + 1)
    disp.button(True)
    for i in range(1, steps + 1):
        disp.move(x0 + (x1 - x0) * i // steps, y)
    disp.x.XFlush(disp.d)
    t0 = time.monotonic()
    dt, polls = wait_for(disp, x0, y, x1 - x0 + 1, colour, t0)
    disp.button(False)
    disp.x.XSync(disp.d, 0)
    # One poll alone, for the resolution.
    t = time.monotonic()
    for _ in range(20):
        disp.row(x0, y, x1 - x0 + 1)
    poll = (time.monotonic() - t) / 20
    if dt is None:
        print(f"latency none polls {polls}")
        return 1
    print(f"latency {dt * 1000:.3f} polls {polls} poll_ms {poll * 1000:.3f}")
    return 0


def proc_counts(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime + stime
    vol = invol = 0
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches"):
                        vol += int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches"):
                        invol += int(line.split()[1])
        except FileNotFoundError:
            pass
    rss = hwm = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS"):
                rss = int(line.split()[1])
            elif line.startswith("VmHWM"):
                hwm = int(line.split()[1])
    threads = len(glob.glob(f"/proc/{pid}/task/*"))
    return ticks, vol, invol, rss, threads, hwm


def cmd_idle(pid, seconds):
    hz = os.sysconf("SC_CLK_TCK")
    t0, v0, i0, _, _, _ = proc_counts(pid)
    time.sleep(seconds)
    t1, v1, i1, rss, threads, hwm = proc_counts(pid)
    print(f"seconds {seconds} cpu_ms {(t1 - t0) * 1000 / hz:.0f} wakeups {v1 - v0 + i1 - i0} "
          f"voluntary {v1 - v0} involuntary {i1 - i0} rss_kb {rss} peak_rss_kb {hwm} threads {threads}")
    return 0


def cmd_smaps(pid):
    by = {}
    name = "?"
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            parts = line.split()
            if "-" in parts[0] and len(parts) >= 5 and not parts[0].endswith(":"):
                name = parts[5] if len(parts) > 5 else "[anon]"
                name = os.path.basename(name) if name.startswith("/") else name
            elif parts[0] == "Rss:":
                by[name] = by.get(name, 0) + int(parts[1])
    total = sum(by.values())
    print(f"total_kb {total}")
    for n, kb in sorted(by.items(), key=lambda kv: -kv[1])[:15]:
        print(f"{kb:8d} kB  {n}")
    return 0


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    c = argv[1]
    if c == "open":
        return cmd_open(int(argv[2]), int(argv[3]), rgb(argv[4]), argv[5] if len(argv) > 5 else None)
    if c == "drag":
        return cmd_drag(int(argv[2]), int(argv[3]), int(argv[4]), int(argv[5]), rgb(argv[6]))
    if c == "launch":
        return cmd_launch(int(argv[2]), int(argv[3]), argv[4:])
    if c == "idle":
        return cmd_idle(int(argv[2]), float(argv[3]))
    if c == "smaps":
        return cmd_smaps(int(argv[2]))
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
