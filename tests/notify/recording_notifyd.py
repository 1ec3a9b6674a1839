#!/usr/bin/python3
"""A notification server for tests: owns org.freedesktop.Notifications on the session bus,
records every call it gets and answers like a desktop daemon would.

The test reads the records and steers the server through a second interface on the same
object (org.corvane.test.NotificationRecorder):
  Calls() -> s      every call so far, as a JSON array, in arrival order
  Held() -> u       how many replies are being held back
  Release()         send every held reply

Options:
  --capabilities a,b,c   what GetCapabilities lists (default "body")
  --hold                 keep every reply back until Release(), so a test can see what the
                         client does while it waits

The server quits when its standard input closes (the test went away) or on SIGTERM. It prints
"ready" once it owns the name.
"""

import argparse
import json
import os
import signal
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
INTERFACE = "org.freedesktop.Notifications"
CONTROL = "org.corvane.test.NotificationRecorder"


class RecordingServer(dbus.service.Object):
    def __init__(self, bus, capabilities, hold):
        super().__init__(bus, PATH)
        self._capabilities = capabilities
        self._hold = hold
        self._calls = []
        self._held = []
        self._next_id = 1

    def _answer(self, reply, *values):
        if self._hold:
            self._held.append((reply, values))
        else:
            reply(*values)

    @dbus.service.method(INTERFACE, in_signature="", out_signature="as",
                         async_callbacks=("reply", "error"))
    def GetCapabilities(self, reply, error):
        self._calls.append({"method": "GetCapabilities"})
        self._answer(reply, dbus.Array(self._capabilities, signature="s"))

    @dbus.service.method(INTERFACE, in_signature="susssasa{sv}i", out_signature="u",
                         async_callbacks=("reply", "error"))
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints,
               expire_timeout, reply, error):
        notification_id = self._next_id
        self._next_id += 1
        self._calls.append({
            "method": "Notify",
            "app_name": str(app_name),
            "replaces_id": int(replaces_id),
            "app_icon": str(app_icon),
            "summary": str(summary),
            "body": str(body),
            "actions": [str(a) for a in actions],
            "hints": sorted(str(k) for k in hints.keys()),
            "expire_timeout": int(expire_timeout),
            "id": notification_id,
        })
        self._answer(reply, dbus.UInt32(notification_id))

    @dbus.service.method(INTERFACE, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        self._calls.append({"method": "CloseNotification", "id": int(notification_id)})

    @dbus.service.method(INTERFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        self._calls.append({"method": "GetServerInformation"})
        return ("Corvane test recorder", "corvane", "1.0", "1.2")

    @dbus.service.method(CONTROL, in_signature="", out_signature="s")
    def Calls(self):
        return json.dumps(self._calls)

    @dbus.service.method(CONTROL, in_signature="", out_signature="u")
    def Held(self):
        return len(self._held)

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def Release(self):
        held, self._held = self._held, []
        for reply, values in held:
            reply(*values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--capabilities", default="body")
    parser.add_argument("--hold", action="store_true")
    args = parser.parse_args()
    capabilities = [c for c in args.capabilities.split(",") if c]

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    try:
        name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    except dbus.exceptions.NameExistsException:
        print(f"{NAME} is already owned on this bus", file=sys.stderr)
        return 1
    server = RecordingServer(bus, capabilities, args.hold)

    loop = GLib.MainLoop()

    def stdin_event(fd, condition):
        if condition & GLib.IO_IN and os.read(fd, 4096):
            return True
        loop.quit()
        return False

    GLib.io_add_watch(sys.stdin.fileno(), GLib.PRIORITY_DEFAULT,
                      GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, stdin_event)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)

    print("ready", flush=True)
    loop.run()
    del server, name
    return 0


if __name__ == "__main__":
    sys.exit(main())
