#!/usr/bin/python3
"""Books the changes of every Karvel station on a plant MQTT broker, each exactly once.

Every station publishes each booked change to <prefix>/<station id>/booking (QoS 1, JSON
with its change id). This consumer subscribes to all stations' bookings through a shared
subscription, so that two or more copies of it (for availability) share the stream, and
books every change id once into a SQLite file: a change that arrives again (a station
resends what the broker had not acknowledged before a reconnect) is recognised by its id
and skipped. The broker's acknowledgement of a message is sent only after the change is
on the disk, so a consumer that stops loses nothing: its persistent session keeps what
arrives meanwhile.

    mqtt_consumer.py [--host 127.0.0.1] [--port 1883] [--prefix karvel] [--group accounting]
                     [--db bookings.sqlite] [--client-id ID] [--user U --password P]
                     [--cafile CA.crt] [--dbus KarvelC.DataControlServ]
    mqtt_consumer.py --db bookings.sqlite --totals

With --dbus the new changes are also handed to a D-Bus accounting server (the interface
of docs/accounting-interface.md). --totals prints, per product, the number of changes and
the sum of their last portions (Count_D), and ends.

Needs Debian's python3-paho-mqtt (and python3-dbus for --dbus). See docs/plant-network.md.
"""

import argparse
import json
import signal
import sqlite3
import sys

SCHEMA = """
CREATE TABLE IF NOT EXISTS bookings (
    change_id TEXT PRIMARY KEY,
    station TEXT NOT NULL,
    booked_at TEXT NOT NULL,
    line INTEGER NOT NULL,
    net_num INTEGER NOT NULL,
    product TEXT NOT NULL,
    count_c REAL NOT NULL,
    count_d REAL NOT NULL
)"""


class Book:
    """The SQLite file: one row per change id."""

    def __init__(self, path):
        self.db = sqlite3.connect(path)
        self.db.execute("PRAGMA journal_mode=WAL")
        self.db.execute("PRAGMA synchronous=FULL")
        self.db.execute(SCHEMA)
        self.db.commit()

    def add(self, station, change, before_commit=None):
        """True when the change is new, False when its id was booked before.
        before_commit runs for a new change inside the transaction: if it fails, the
        change is not booked (and the broker, not acknowledged, offers it again)."""
        cur = self.db.execute(
            "INSERT OR IGNORE INTO bookings VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
            (change["changeId"], station, change["time"], int(change["line"]),
             int(change["netNum"]), change["product"], float(change["Count_C"]),
             float(change["Count_D"])))
        if cur.rowcount != 1:
            self.db.rollback()
            return False
        try:
            if before_commit:
                before_commit(change)
        except Exception:
            self.db.rollback()
            raise
        self.db.commit()
        return True

    def totals(self):
        return self.db.execute(
            "SELECT product, COUNT(*), SUM(count_d) FROM bookings GROUP BY product "
            "ORDER BY product").fetchall()


class DbusAccounting:
    """Hands each new change to a D-Bus accounting server, as Karvel_Net does."""

    def __init__(self, name):
        import dbus
        self.dbus = dbus
        self.bus = dbus.SessionBus()
        path = "/" + name.replace(".", "/")
        factory = dbus.Interface(self.bus.get_object(name, path), "KarvelC.ClassFactory")
        self.obj = dbus.Interface(self.bus.get_object(name, factory.CreateObject()),
                                  "KarvelC.IDataControlServ")

    def add(self, change):
        method = getattr(self.obj, "AddCountLine%d" % int(change["line"]))
        method(self.dbus.Byte(int(change["netNum"])), change["product"],
               float(change["Count_C"]), float(change["Count_D"]))


def check(change):
    for key in ("changeId", "time", "line", "netNum", "product", "Count_C", "Count_D"):
        if key not in change:
            raise ValueError("no %s" % key)
    if not 1 <= int(change["line"]) <= 4:
        raise ValueError("line %r" % change["line"])


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=1883)
    ap.add_argument("--prefix", default="karvel")
    ap.add_argument("--group", default="accounting", help="shared subscription group")
    ap.add_argument("--db", default="bookings.sqlite")
    ap.add_argument("--client-id", default=None, help="fixed id: a persistent session")
    ap.add_argument("--user")
    ap.add_argument("--password")
    ap.add_argument("--cafile", help="CA certificate of a TLS broker")
    ap.add_argument("--dbus", metavar="NAME", help="also book into this D-Bus accounting server")
    ap.add_argument("--totals", action="store_true", help="print the totals per product and end")
    args = ap.parse_args()

    book = Book(args.db)
    if args.totals:
        for product, count, total in book.totals():
            print("%s\t%d\t%.4f" % (product, count, total))
        return 0

    import paho.mqtt.client as mqtt
    accounting = DbusAccounting(args.dbus) if args.dbus else None
    client_id = args.client_id or "karvel-consumer-%s" % args.group
    client = mqtt.Client(client_id=client_id, clean_session=False)
    if args.user:
        client.username_pw_set(args.user, args.password)
    if args.cafile:
        client.tls_set(ca_certs=args.cafile)
    topic = "$share/%s/%s/+/booking" % (args.group, args.prefix)

    def on_connect(c, _userdata, _flags, rc):
        if rc != 0:
            print("consumer: the broker refused: %s" % mqtt.connack_string(rc), file=sys.stderr)
            return
        c.subscribe(topic, qos=1)
        print("consumer: subscribed to %s" % topic, flush=True)

    def on_message(_c, _userdata, msg):
        # Returning from here lets the client acknowledge the message: only after the
        # change is on the disk (or was there already).
        station = msg.topic.split("/")[-2]
        try:
            change = json.loads(msg.payload.decode("utf-8"))
            check(change)
        except (ValueError, UnicodeDecodeError) as error:
            print("consumer: skipped a malformed booking on %s: %s" % (msg.topic, error),
                  file=sys.stderr, flush=True)
            return
        if book.add(station, change, accounting.add if accounting else None):
            print("booked %s %s %s" % (change["changeId"], change["product"], change["Count_D"]),
                  flush=True)
        else:
            print("repeat %s skipped" % change["changeId"], flush=True)

    client.on_connect = on_connect
    client.on_message = on_message
    signal.signal(signal.SIGTERM, lambda *_: client.disconnect())
    client.connect_async(args.host, args.port, keepalive=30)
    client.reconnect_delay_set(1, 10)
    try:
        client.loop_forever(retry_first_connection=True)
    except KeyboardInterrupt:
        client.disconnect()
    return 0


if __name__ == "__main__":
    sys.exit(main())
