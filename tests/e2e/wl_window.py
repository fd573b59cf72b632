#!/usr/bin/env python3
"""A native Wayland window of one colour, for desktops where foot does not run
(it crashes under KWin's virtual back end). Usage: wl_window.py COLOUR [W H]
Prints "ready" once its first frame has been handed to the compositor."""
import sys

import gi

# GTK 4 is installed beside it (GNOME Shell needs it): ask for 3 by name.
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

colour = sys.argv[1] if len(sys.argv) > 1 else "#cc0000"
width, height = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) > 3 else (600, 400)
css = Gtk.CssProvider()
css.load_from_data(("window { background-color: %s; }" % colour).encode())
Gtk.StyleContext.add_provider_for_screen(
    Gdk.Screen.get_default(), css, Gtk.STYLE_PROVIDER_PRIORITY_USER
)
window = Gtk.Window(title="morvane-test-window")
window.set_default_size(width, height)
window.connect("destroy", Gtk.main_quit)


def painted(clock):
    print("ready", flush=True)
    clock.disconnect(handler)


window.show_all()
handler = window.get_frame_clock().connect("after-paint", painted)
Gtk.main()
