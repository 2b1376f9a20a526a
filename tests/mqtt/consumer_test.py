#!/usr/bin/python3
"""The consumer example against a real mosquitto on a free loopback port: two copies share
the bookings of two stations, every change id is booked once however often it arrives,
and a copy that stops finds its share waiting in its persistent session when it is back."""

import json
import os
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

import paho.mqtt.client as mqtt

HERE = os.path.dirname(os.path.abspath(__file__))
CONSUMER = os.path.join(HERE, "..", "..", "docs", "examples", "mqtt_consumer.py")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait(cond, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        if cond():
            return True
        time.sleep(0.05)
    return False


def port_open(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def rows(db):
    if not os.path.exists(db):
        return []
    con = sqlite3.connect(db)
    try:
        return con.execute("SELECT change_id, product, count_d FROM bookings").fetchall()
    except sqlite3.OperationalError:
        return []
    finally:
        con.close()


def booking(station, seq, product, count_d):
    return json.dumps({"changeId": "%s:%d" % (station, seq), "time": "2026-03-07T09:05:04.250+03:00",
                       "line": 1 + seq % 4, "netNum": 5, "product": product,
                       "Count_C": 1000.0 + seq, "Count_D": count_d})


def main():
    tmp = tempfile.mkdtemp(prefix="consumer_test-")
    port = free_port()
    conf = os.path.join(tmp, "mosquitto.conf")
    with open(conf, "w") as f:
        f.write("listener %d 127.0.0.1\nallow_anonymous true\n" % port)
        if os.getuid() == 0:
            f.write("user root\n")
    broker = subprocess.Popen(["mosquitto", "-c", conf], stderr=subprocess.DEVNULL)
    db = os.path.join(tmp, "bookings.sqlite")
    consumers = []
    try:
        assert wait(lambda: port_open(port)), "the broker did not start"
        for n in (1, 2):
            log = open(os.path.join(tmp, "consumer%d.log" % n), "w")
            consumers.append(subprocess.Popen(
                [sys.executable, CONSUMER, "--port", str(port), "--db", db,
                 "--client-id", "consumer-%d" % n], stdout=log, stderr=subprocess.STDOUT))
        logs = [os.path.join(tmp, "consumer%d.log" % n) for n in (1, 2)]
        assert wait(lambda: all("subscribed" in open(p).read() for p in logs)), "no subscription"

        pub = mqtt.Client(client_id="test-publisher")
        pub.connect("127.0.0.1", port)
        pub.loop_start()
        expected = {}
        sent = []
        for seq in range(40):
            station = "st-a" if seq % 2 else "st-b"
            product = ("Пшеница", "Рожь", "Овёс")[seq % 3]
            payload = booking(station, seq, product, 10.0 + seq)
            expected["%s:%d" % (station, seq)] = (product, 10.0 + seq)
            sent.append((station, payload))
        # Every change once, then a third of them again, as a station resends after a
        # reconnect: the repeats go to either copy.
        for station, payload in sent + sent[::3]:
            pub.publish("karvel/%s/booking" % station, payload, qos=1).wait_for_publish()
        pub.publish("karvel/st-a/booking", b"not json", qos=1).wait_for_publish()

        assert wait(lambda: len(rows(db)) == len(expected)), "booked %d of %d" % (len(rows(db)), len(expected))
        time.sleep(0.5)  # repeats still on their way would show up as extra rows
        got = {r[0]: (r[1], r[2]) for r in rows(db)}
        assert len(rows(db)) == len(expected) and got == expected, "wrong bookings: %r" % got
        shares = [open(p).read().count("booked ") for p in logs]
        assert all(s > 0 for s in shares), "one copy got nothing: %r" % shares
        assert "malformed" in open(logs[0]).read() + open(logs[1]).read()

        # One copy stops; what the broker gives it meanwhile waits in its session.
        consumers[0].terminate()
        consumers[0].wait(10)
        for seq in range(40, 50):
            payload = booking("st-a", seq, "Рожь", 1.0)
            pub.publish("karvel/st-a/booking", payload, qos=1).wait_for_publish()
        assert wait(lambda: len(rows(db)) >= len(expected) + 1), "the other copy booked nothing"
        log = open(logs[0], "a")
        consumers[0] = subprocess.Popen(
            [sys.executable, CONSUMER, "--port", str(port), "--db", db, "--client-id",
             "consumer-1"], stdout=log, stderr=subprocess.STDOUT)
        assert wait(lambda: len(rows(db)) == len(expected) + 10), "lost after a copy stopped"

        totals = subprocess.run([sys.executable, CONSUMER, "--db", db, "--totals"],
                                capture_output=True, text=True, check=True).stdout
        rye = [l for l in totals.splitlines() if l.startswith("Рожь\t")]
        want = sum(v[1] for v in expected.values() if v[0] == "Рожь") + 10.0
        count = sum(1 for v in expected.values() if v[0] == "Рожь") + 10
        assert rye == ["Рожь\t%d\t%.4f" % (count, want)], totals
        pub.loop_stop()
        print("consumer_test: passed")
        return 0
    finally:
        for c in consumers:
            c.terminate()
            c.wait(10)
        broker.terminate()
        broker.wait(10)


if __name__ == "__main__":
    sys.exit(main())
