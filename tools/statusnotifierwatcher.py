#!/usr/bin/python3
"""A stand-in StatusNotifierWatcher (the registry behind modern system trays) for the demo and
the whole-program tests, run on a private session bus: it owns org.kde.StatusNotifierWatcher,
takes item registrations and reports one host as registered, so that programs show their tray
icon as a StatusNotifierItem. With --notifications it also owns org.freedesktop.Notifications
and prints every notification it is sent. Every event is one line on standard output:

    READY
    GET <property name>
    ITEM <bus name><object path>
    NOTIFY <summary>|<body>

    tools/statusnotifierwatcher.py [--no-host] [--notifications]
"""
import sys

from gi.repository import Gio, GLib

WATCHER_XML = """
<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>"""

NOTIFICATIONS_XML = """
<node><interface name="org.freedesktop.Notifications">
  <method name="Notify">
    <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
    <arg type="u" direction="out"/>
  </method>
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
  <method name="GetServerInformation">
    <arg type="s" direction="out"/><arg type="s" direction="out"/>
    <arg type="s" direction="out"/><arg type="s" direction="out"/>
  </method>
  <method name="CloseNotification"><arg type="u" direction="in"/></method>
</interface></node>"""

items = []
host = "--no-host" not in sys.argv


def say(line):
    print(line, flush=True)


def watcher_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "RegisterStatusNotifierItem":
        service = parameters.unpack()[0]
        # An item names either its bus name or its object path (then the sender is the name).
        item = service if not service.startswith("/") else sender + service
        if not item.startswith(":") and "/" not in item:
            item += "/StatusNotifierItem"
        items.append(item)
        say("ITEM " + item)
        connection.emit_signal(None, path, interface, "StatusNotifierItemRegistered",
                               GLib.Variant("(s)", (item,)))
    invocation.return_value(None)


def watcher_property(connection, sender, path, interface, name):
    say("GET " + name)
    return {
        "RegisteredStatusNotifierItems": GLib.Variant("as", items),
        "IsStatusNotifierHostRegistered": GLib.Variant("b", host),
        "ProtocolVersion": GLib.Variant("i", 0),
    }[name]


def notifications_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "Notify":
        arguments = parameters.unpack()
        say("NOTIFY %s|%s" % (arguments[3], arguments[4].replace("\n", " ")))
        invocation.return_value(GLib.Variant("(u)", (1,)))
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["body"],)))
    elif method == "GetServerInformation":
        invocation.return_value(GLib.Variant("(ssss)", ("stand-in", "tavrin", "1", "1.2")))
    else:
        invocation.return_value(None)


def export(connection, xml, path, call, get=None):
    info = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
    connection.register_object(path, info, call, get, None)


def main():
    connection = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    export(connection, WATCHER_XML, "/StatusNotifierWatcher", watcher_call, watcher_property)
    names = ["org.kde.StatusNotifierWatcher"]
    if "--notifications" in sys.argv:
        export(connection, NOTIFICATIONS_XML, "/org/freedesktop/Notifications",
               notifications_call)
        names.append("org.freedesktop.Notifications")
    for name in names:
        result = connection.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                      "org.freedesktop.DBus", "RequestName",
                                      GLib.Variant("(su)", (name, 4)), None,
                                      Gio.DBusCallFlags.NONE, -1, None)
        if result.unpack()[0] != 1:
            sys.exit("could not own " + name)
    say("READY")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
