#!/usr/bin/env python3
"""Input and screenshots for a headless GNOME Shell, driven from lines on stdin:
    key KEYSYM          press and release one key (X keysym, decimal or 0x...)
    move DX DY          move the shell's pointer by DX, DY pixels
    click               press and release the left button
    shot FILE           a screenshot of the whole screen (shell and all windows) to FILE
The keys and the pointer go through a RemoteDesktop session of mutter, which
ends when its owner leaves the bus: hence one process for the whole test. The
shell's own Screenshot interface answers only an allow-listed name, so this
process owns org.gnome.Screenshot. Prints "ready", then one line per command
("ok ..." or "failed ...")."""
import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(dest, path, iface, method, args=None, reply=None):
    return bus.call_sync(dest, path, iface, method, args,
                         GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, 20000, None)


owned = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "RequestName", GLib.Variant("(su)", ("org.gnome.Screenshot", 4)),
                      GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
if owned != 1:
    sys.exit("gnome_shell: org.gnome.Screenshot is taken")
RD = "org.gnome.Mutter.RemoteDesktop"
session = call(RD, "/org/gnome/Mutter/RemoteDesktop", RD, "CreateSession", None, "(o)").unpack()[0]
SESSION = RD + ".Session"
call(RD, session, SESSION, "Start")
print("ready", flush=True)

for line in sys.stdin:
    cmd = line.split()
    if not cmd:
        continue
    try:
        if cmd[0] == "key":
            sym = int(cmd[1], 0)
            for down in (True, False):
                call(RD, session, SESSION, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (sym, down)))
        elif cmd[0] == "move":
            call(RD, session, SESSION, "NotifyPointerMotionRelative",
                 GLib.Variant("(dd)", (float(cmd[1]), float(cmd[2]))))
        elif cmd[0] == "click":
            for down in (True, False):
                call(RD, session, SESSION, "NotifyPointerButton", GLib.Variant("(ib)", (0x110, down)))
        elif cmd[0] == "shot":
            ok, _ = call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                         "org.gnome.Shell.Screenshot", "Screenshot",
                         GLib.Variant("(bbs)", (False, False, cmd[1])), "(bs)").unpack()
            if not ok:
                raise RuntimeError("the shell took no screenshot")
        else:
            raise RuntimeError("unknown command")
        print("ok", line.strip(), flush=True)
    except Exception as e:  # the test reads the reason from the log
        print("failed", line.strip(), e, flush=True)
