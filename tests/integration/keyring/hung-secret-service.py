"""A keyring service that never answers.

Owns org.freedesktop.secrets on the session bus and then never reads its
connection, so every call to it waits until the caller gives up.
"""

import signal
import sys

import dbus


def main():
    bus = dbus.SessionBus()
    reply = bus.request_name("org.freedesktop.secrets", dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
    if reply != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
        sys.exit("could not own org.freedesktop.secrets")
    while True:
        signal.pause()


if __name__ == "__main__":
    main()
