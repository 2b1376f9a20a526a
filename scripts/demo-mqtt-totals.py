#!/usr/bin/env python3
"""Compares, per product, what KarvelC received over D-Bus with what the MQTT consumer
booked: the number of changes and the sum of the last portions (Count_D).

Usage: demo-mqtt-totals.py KARVELC_MEMO_LOG BOOKINGS_SQLITE
Exit status 0 when they agree.
"""
import re
import sqlite3
import sys
from collections import defaultdict

# A memo line: "<date time>  Линия 1; Продукт: Пшеница Сетевой номер:5;  С:1234,5;  D:10,25"
MEMO = re.compile(r"Продукт: (.*) Сетевой номер:\d+;  С:[-\d.,]+;  D:([-\d.,]+)\s*$")


def memo_totals(path):
    totals = defaultdict(lambda: [0, 0.0])
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = MEMO.search(line)
            if m:
                totals[m.group(1)][0] += 1
                totals[m.group(1)][1] += float(m.group(2).replace(",", "."))
    return totals


def consumer_totals(path):
    totals = defaultdict(lambda: [0, 0.0])
    con = sqlite3.connect(path)
    for product, count, total in con.execute(
            "SELECT product, COUNT(*), SUM(count_d) FROM bookings GROUP BY product"):
        totals[product] = [count, total]
    return totals


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    dbus, mqtt = memo_totals(sys.argv[1]), consumer_totals(sys.argv[2])
    same = True
    print("%-12s %18s %18s" % ("product", "KarvelC (D-Bus)", "consumer (MQTT)"))
    for product in sorted(set(dbus) | set(mqtt)):
        a, b = dbus.get(product, [0, 0.0]), mqtt.get(product, [0, 0.0])
        ok = a[0] == b[0] and abs(a[1] - b[1]) < 1e-6
        same = same and ok
        print("%-12s %6d %11.4f %6d %11.4f %s" % (product, a[0], a[1], b[0], b[1],
                                                   "" if ok else "DIFFERENT"))
    print("totals agree" if same else "totals DIFFER")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
