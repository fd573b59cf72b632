#!/usr/bin/env python3
"""A StatusNotifierWatcher for desktops without a tray host (GNOME without its
AppIndicator extension, KWin without kded5), so that Qt shows its tray icon as
a StatusNotifierItem that a test can read and activate over D-Bus.
Prints "ready" once it owns org.kde.StatusNotifierWatcher; an item is dropped
when its owner leaves the bus, as a real watcher does."""
import sys

from gi.repository import Gio, GLib

XML = """
<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>"""
IFACE = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
items = {}  # "SERVICE/PATH" -> the name watch of its owner


def emit(conn, signal, args=None):
    conn.emit_signal(None, PATH, IFACE, signal, args)


def changed(conn):
    conn.emit_signal(None, PATH, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                     GLib.Variant("(sa{sv}as)", (IFACE, {}, ["RegisteredStatusNotifierItems"])))


def gone(conn, item):
    if item in items:
        Gio.bus_unwatch_name(items.pop(item))
        emit(conn, "StatusNotifierItemUnregistered", GLib.Variant("(s)", (item,)))
        changed(conn)


def on_call(conn, sender, _path, _iface, method, params, invocation):
    if method == "RegisterStatusNotifierItem":
        arg = params.unpack()[0]
        # Qt passes its object path only; the item's service is then the caller.
        service, path = (sender, arg) if arg.startswith("/") else (arg, "/StatusNotifierItem")
        item = service + path
        if item not in items:
            items[item] = Gio.bus_watch_name_on_connection(
                conn, service, Gio.BusNameWatcherFlags.NONE, None,
                lambda c, _n, i=item: gone(c, i))
            emit(conn, "StatusNotifierItemRegistered", GLib.Variant("(s)", (item,)))
            changed(conn)
    elif method == "RegisterStatusNotifierHost":
        emit(conn, "StatusNotifierHostRegistered")
    invocation.return_value(None)


def on_get(_conn, _sender, _path, _iface, prop):
    return {"RegisteredStatusNotifierItems": GLib.Variant("as", sorted(items)),
            "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "ProtocolVersion": GLib.Variant("i", 0)}[prop]


def on_bus(conn, _name):
    node = Gio.DBusNodeInfo.new_for_xml(XML)
    conn.register_object(PATH, node.interfaces[0], on_call, on_get, None)


Gio.bus_own_name(Gio.BusType.SESSION, IFACE, Gio.BusNameOwnerFlags.NONE, on_bus,
                 lambda *_: print("ready", flush=True), lambda *_: sys.exit("sni_watcher: name taken"))
GLib.MainLoop().run()
