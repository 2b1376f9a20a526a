#!/usr/bin/env python3
"""Reads a report export the way a spreadsheet user's script would, with Python's csv
module, and prints it as JSON: {"bom": true, "rows": [[field, ...], ...]}."""
import csv
import json
import sys

path = sys.argv[1]
with open(path, "rb") as raw:
    bom = raw.read(3) == b"\xef\xbb\xbf"
with open(path, encoding="utf-8-sig", newline="") as f:
    rows = list(csv.reader(f, delimiter=";", strict=True))
json.dump({"bom": bom, "rows": rows}, sys.stdout, ensure_ascii=False)
