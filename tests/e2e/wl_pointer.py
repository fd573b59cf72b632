#!/usr/bin/env python3
"""A pointer device for a headless wlroots compositor (wlr-virtual-pointer).

A headless sway has no input device, so its seat offers no pointer and no
client (XWayland included) gets pointer events. This plugs one virtual pointer
into the seat and drives it from lines on stdin, each ended with a pointer
frame (XWayland acts on frames):
    move X Y W H      absolute position X,Y on an output of W x H
    press | release   the left button
Prints "ready" once plugged in, then one line per command done.
Only libwayland-client through ctypes: no protocol files to generate.
"""
import ctypes as C
import sys
import time

wl = C.CDLL("libwayland-client.so.0")


class Message(C.Structure):
    _fields_ = [("name", C.c_char_p), ("signature", C.c_char_p), ("types", C.c_void_p)]


class Interface(C.Structure):
    _fields_ = [("name", C.c_char_p), ("version", C.c_int), ("method_count", C.c_int),
                ("methods", C.c_void_p), ("event_count", C.c_int), ("events", C.c_void_p)]


# Requests in protocol order; only these are sent.
pointer_methods = (Message * 5)(
    Message(b"motion", b"uff", None), Message(b"motion_absolute", b"uuuuu", None),
    Message(b"button", b"uuu", None), Message(b"axis", b"uuf", None), Message(b"frame", b"", None))
pointer_iface = Interface(b"zwlr_virtual_pointer_v1", 1, 5, C.addressof(pointer_methods), 0, None)
seat_iface = Interface.in_dll(wl, "wl_seat_interface")
registry_iface = Interface.in_dll(wl, "wl_registry_interface")
create_types = (C.c_void_p * 2)(C.addressof(seat_iface), C.addressof(pointer_iface))
manager_methods = (Message * 1)(Message(b"create_virtual_pointer", b"?on", C.addressof(create_types)))
manager_iface = Interface(b"zwlr_virtual_pointer_manager_v1", 1, 1, C.addressof(manager_methods), 0, None)

P, U = C.c_void_p, C.c_uint32
wl.wl_display_connect.restype = P
wl.wl_display_connect.argtypes = [C.c_char_p]
wl.wl_display_roundtrip.argtypes = [P]
wl.wl_proxy_marshal_constructor.restype = P
wl.wl_proxy_marshal_constructor_versioned.restype = P

display = wl.wl_display_connect(None)
if not display:
    sys.exit("wl_pointer: no Wayland display")
registry = wl.wl_proxy_marshal_constructor(P(display), U(1), C.byref(registry_iface), P(None))
bound = {}


def on_global(_data, reg, name, interface, _version):
    for iface in (seat_iface, manager_iface):
        if interface == iface.name and iface.name not in bound:
            bound[iface.name] = wl.wl_proxy_marshal_constructor_versioned(
                P(reg), U(0), C.byref(iface), U(1), U(name), C.c_char_p(iface.name), U(1), P(None))


GLOBAL = C.CFUNCTYPE(None, P, P, U, C.c_char_p, U)
REMOVE = C.CFUNCTYPE(None, P, P, U)
callbacks = (GLOBAL(on_global), REMOVE(lambda *_: None))  # kept alive with the listener
listener = (P * 2)(C.cast(callbacks[0], P), C.cast(callbacks[1], P))
wl.wl_proxy_add_listener(P(registry), listener, None)
wl.wl_display_roundtrip(display)
if manager_iface.name not in bound or seat_iface.name not in bound:
    sys.exit("wl_pointer: the compositor offers no virtual pointer")
pointer = wl.wl_proxy_marshal_constructor(P(bound[manager_iface.name]), U(0), C.byref(pointer_iface),
                                          P(bound[seat_iface.name]), P(None))
wl.wl_display_roundtrip(display)
print("ready", flush=True)


def now():
    return U(int(time.monotonic() * 1000) & 0xFFFFFFFF)


BTN_LEFT = 0x110
for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    if words[0] == "move" and len(words) == 5:
        wl.wl_proxy_marshal(P(pointer), U(1), now(), *(U(int(w)) for w in words[1:]))
    elif words[0] in ("press", "release"):
        wl.wl_proxy_marshal(P(pointer), U(2), now(), U(BTN_LEFT), U(words[0] == "press"))
    else:
        print("unknown:", line.strip(), flush=True)
        continue
    wl.wl_proxy_marshal(P(pointer), U(4))  # frame
    wl.wl_display_roundtrip(display)
    print("done", words[0], flush=True)
