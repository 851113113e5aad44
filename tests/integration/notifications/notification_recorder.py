#!/usr/bin/python3
"""A stand-in desktop notification server for tests.

Owns org.freedesktop.Notifications on the session bus and appends each Notify
call's arguments, with the id it answered, as one JSON object per line to the
record file. Ids count up from 1; a call whose replaces_id names an earlier
notification gets that id back, as real servers do. With --hang it owns the
name, records the calls and never answers them.

Readiness: once the name is owned, the file given by --ready is created.
"""

import argparse
import json
import signal
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SERVICE = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


class Recorder(dbus.service.Object):
    def __init__(self, bus, record_path, hang):
        super().__init__(bus, PATH)
        self.record_path = record_path
        self.hang = hang
        self.issued = set()
        self.next_id = 1

    @dbus.service.method(SERVICE, in_signature="susssasa{sv}i", out_signature="u",
                         async_callbacks=("reply", "error"))
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints,
               expire_timeout, reply, error):
        answer = None if self.hang else self.id_for(int(replaces_id))
        self.record({
            "app_name": str(app_name),
            "replaces_id": int(replaces_id),
            "app_icon": str(app_icon),
            "summary": str(summary),
            "body": str(body),
            "actions": [str(a) for a in actions],
            "hints": {str(k): plain(v) for k, v in hints.items()},
            "expire_timeout": int(expire_timeout),
            "answered_id": answer,
        })
        if answer is not None:
            reply(dbus.UInt32(answer))

    def id_for(self, replaces_id):
        if replaces_id in self.issued:
            return replaces_id
        answer = self.next_id
        self.next_id += 1
        self.issued.add(answer)
        return answer

    def record(self, call):
        with open(self.record_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(call) + "\n")


def plain(value):
    """A D-Bus value as a plain JSON-friendly Python value."""
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.String, dbus.ObjectPath, dbus.Signature)):
        return str(value)
    if isinstance(value, (dbus.Byte, dbus.Int16, dbus.Int32, dbus.Int64,
                          dbus.UInt16, dbus.UInt32, dbus.UInt64)):
        return int(value)
    if isinstance(value, dbus.Double):
        return float(value)
    if isinstance(value, dbus.Dictionary):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, dbus.Struct)):
        return [plain(v) for v in value]
    return value


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--record", required=True, help="JSON-lines file of Notify calls")
    parser.add_argument("--ready", required=True, help="file created once the name is owned")
    parser.add_argument("--hang", action="store_true", help="never answer Notify")
    args = parser.parse_args()

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    # Export the object before taking the name, so no call finds it missing.
    recorder = Recorder(bus, args.record, args.hang)
    result = bus.request_name(SERVICE, dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
    if result != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
        sys.exit(f"could not own {SERVICE} (reply {result})")
    open(args.ready, "w").close()

    loop = GLib.MainLoop()
    for signum in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signum, loop.quit)
    loop.run()
    recorder.remove_from_connection()


if __name__ == "__main__":
    main()
