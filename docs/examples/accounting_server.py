#!/usr/bin/python3
"""A small but complete accounting server for Karvel_Net on the D-Bus session bus.

It owns a well-known name, hands out objects from its class factory, accepts the
accounting calls of the main program and books each one as a line of a journal file
(tab-separated: method, network number, product, Count_C and Count_D in currency units
of 1/10000). Replace `Journal` with your own bookkeeping.

Its objects offer both interfaces: the legacy KarvelC.IDataControlServ (AddCountLine1..4,
one call per change, at least once) and KarvelC.IDataControlServ2.AddCount, which carries
the change's identity. Karvel_Net sends a change again when it did not see the answer
(a time-out, a restart); AddCount books each identity once and acknowledges a repeat,
so every change is booked exactly once. The identities booked are read back from the
journal at start, so a restarted server still knows them.

    accounting_server.py [--name KarvelC.DataControlServ] [--journal FILE]

Needs Debian's python3-dbus and python3-gi. See docs/accounting-interface.md.
"""

import argparse
import math
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

FACTORY = "KarvelC.ClassFactory"
DISPATCH = "KarvelC.IDataControlServ"
DISPATCH2 = "KarvelC.IDataControlServ2"
UNKNOWN = "KarvelC.IUnknown"

# Dispatch ids of the accounting methods, announced in the introspection data.
DISP_IDS = {"AddCountLine%d" % n: 200 + n for n in range(1, 5)}
DISP_IDS.update({"AddQXCountLine%d" % n: 204 + n for n in range(1, 5)})


class TypeMismatch(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.InvalidArgs"


def check_signature(message, expected):
    if message.get_signature() != expected:
        raise TypeMismatch("%s takes '%s', not '%s'"
                           % (message.get_member(), expected, message.get_signature()))


def to_currency(value, name):
    """The value times 10000 as a 64-bit integer, rounded half to even."""
    if not math.isfinite(value):
        raise TypeMismatch("%s is not a number" % name)
    units = round(value * 10000)  # round() on a float goes half to even
    if not -2**63 <= units < 2**63:
        raise TypeMismatch("%s does not fit the currency type" % name)
    return units


class Journal:
    """Where the bookings go: a file, or standard output."""

    def __init__(self, path):
        self.path = path
        self.booked_ids = set()
        if path:
            try:
                with open(path, encoding="utf-8") as f:
                    for line in f:
                        fields = line.rstrip("\n").split("\t")
                        if fields[0] == "AddCount" and line.endswith("\n"):
                            self.booked_ids.add(fields[-1])
            except FileNotFoundError:
                pass

    def write(self, *fields):
        line = "\t".join(str(f) for f in fields) + "\n"
        if self.path:
            with open(self.path, "a", encoding="utf-8") as f:
                f.write(line)
                f.flush()
                os.fsync(f.fileno())  # on the disk before the call is answered
        else:
            sys.stdout.write(line)
            sys.stdout.flush()

    def book_once(self, change_id, *fields):
        """Books a change with an identity unless it was booked before."""
        if change_id in self.booked_ids:
            return False
        self.write(*fields, change_id)
        self.booked_ids.add(change_id)
        return True


class AccountingObject(dbus.service.Object):
    """One object of the factory; its owner is the client that created it."""

    def __init__(self, bus, path, owner, journal):
        super().__init__(bus, path)
        self.owner = owner
        self.journal = journal

    def _book(self, msg, NetNum, Product, Count_C, Count_D):
        check_signature(msg, "ysdd")
        self.journal.write(msg.get_member(), int(NetNum), Product,
                           to_currency(Count_C, "Count_C"), to_currency(Count_D, "Count_D"))

    def _count_method(name):
        @dbus.service.method(DISPATCH, in_signature="ysdd", out_signature="",
                             message_keyword="msg")
        def method(self, NetNum, Product, Count_C, Count_D, msg):
            self._book(msg, NetNum, Product, Count_C, Count_D)
        method.__name__ = name
        return method

    # The dispatch interface: line 1..4, plain and "QX" methods alike.
    AddCountLine1 = _count_method("AddCountLine1")
    AddCountLine2 = _count_method("AddCountLine2")
    AddCountLine3 = _count_method("AddCountLine3")
    AddCountLine4 = _count_method("AddCountLine4")
    AddQXCountLine1 = _count_method("AddQXCountLine1")
    AddQXCountLine2 = _count_method("AddQXCountLine2")
    AddQXCountLine3 = _count_method("AddQXCountLine3")
    AddQXCountLine4 = _count_method("AddQXCountLine4")
    del _count_method

    @dbus.service.method(DISPATCH2, in_signature="yysdds", out_signature="",
                         message_keyword="msg")
    def AddCount(self, line, netnum, product, count_c, count_d, change_id, msg):
        """One booked change of any line, with its identity "<station id>:<sequence>"."""
        check_signature(msg, "yysdds")
        if not 1 <= int(line) <= 4:
            raise TypeMismatch("line %d is not 1..4" % int(line))
        if not change_id:
            raise TypeMismatch("change_id is empty")
        # A repeat (the client did not see our answer) is acknowledged, not booked again.
        self.journal.book_once(str(change_id), "AddCount", int(line), int(netnum), product,
                               to_currency(count_c, "count_c"), to_currency(count_d, "count_d"))

    @dbus.service.method(DISPATCH, in_signature="s", out_signature="", message_keyword="msg")
    def Connect(self, ConnectionString, msg):
        """Called once at the main program's start with the first line of bdl.txt."""
        check_signature(msg, "s")
        self.journal.write("Connect", ConnectionString)

    @dbus.service.method(UNKNOWN, in_signature="", out_signature="")
    def Release(self):
        self.factory.release(self)

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        xml = super().Introspect(object_path, connection)
        for name, disp_id in DISP_IDS.items():
            tag = '<method name="%s">' % name
            xml = xml.replace(tag, tag + '\n      <annotation name="KarvelC.DispId" value="%d"/>'
                              % disp_id)
        return xml


class Factory(dbus.service.Object):
    """The class factory at "/" + the name with dots turned into slashes."""

    def __init__(self, bus, name, journal):
        self.bus = bus
        self.path = "/" + name.replace(".", "/")
        super().__init__(bus, self.path)
        self.journal = journal
        self.objects = {}
        self.watches = {}
        self.last_number = 0

    @dbus.service.method(FACTORY, in_signature="", out_signature="o", sender_keyword="sender")
    def CreateObject(self, sender):
        self.last_number += 1
        path = "%s/Object%d" % (self.path, self.last_number)
        obj = AccountingObject(self.bus, path, sender, self.journal)
        obj.factory = self
        self.objects[path] = obj
        if sender not in self.watches:
            # Called at once with the present owner, later with "" when it leaves.
            self.watches[sender] = self.bus.watch_name_owner(
                sender, lambda owner, client=sender: owner or self.client_left(client))
        return dbus.ObjectPath(path)

    def release(self, obj):
        obj.remove_from_connection()
        self.objects.pop(obj.__dbus_object_path__, None)

    def client_left(self, client):
        """A client that leaves the bus releases everything it held."""
        for obj in [o for o in self.objects.values() if o.owner == client]:
            self.release(obj)
        watch = self.watches.pop(client, None)
        if watch is not None:
            watch.cancel()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--name", default="KarvelC.DataControlServ",
                        help="the program identifier configured in Karvel_Net")
    parser.add_argument("--journal", help="file the bookings are appended to (default stdout)")
    args = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    factory = Factory(bus, args.name, Journal(args.journal))  # noqa: F841 (kept by the bus)
    try:
        name = dbus.service.BusName(args.name, bus, do_not_queue=True)  # noqa: F841
    except dbus.exceptions.NameExistsException:
        sys.exit("accounting_server: %s is owned by another program" % args.name)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
