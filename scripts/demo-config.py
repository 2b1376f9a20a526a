#!/usr/bin/env python3
"""Writes the store file of a demonstration: four lines of simulated terminals on COM1..COM4.

Usage: demo-config.py STORE_FILE [--mqtt-port PORT]
Lines 1 and 3 carry KR-200 terminals, lines 2 and 4 KR-100 terminals; the network numbers
and products match what scripts/run.sh starts the simulator with.
"""
import os
import sys
import tempfile

# (terminal type: True = KR-100, [(network number, product), ...]) for lines 1..4.
LINES = {
    1: (False, [(5, "Пшеница"), (6, "Ячмень"), (7, "Овёс")]),
    2: (True, [(1, "Рожь"), (2, "Кукуруза")]),
    3: (False, [(11, "Горох"), (12, "Просо")]),
    4: (True, [(21, "Гречиха"), (22, "Рис"), (23, "Соя")]),
}
MASK = 7  # the store keeps the administrator password scrambled with this mask
PASSWORD = "90876590876590876"


def text(value):
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def dword(value):
    return "dword:%08x" % (value & 0xFFFFFFFF)


def mqtt_key(root, port):
    """The MQTT side on, to a broker of the demonstration on this machine."""
    return ["[%s\\Control\\Mqtt]" % root, '"Enabled"=' + dword(1),
            '"Host"=' + text("127.0.0.1"), '"Port"=' + dword(port),
            '"TopicPrefix"=' + text("karvel"), ""]


def store(mqtt_port=None):
    root = "HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net"
    out = ["Windows Registry Editor Version 5.00", ""]
    out += ["[%s\\Control]" % root, '"Name"=' + text("KarvelC.DataControlServ"),
            '"Password"=' + text("".join(chr(ord(c) ^ MASK) for c in PASSWORD)), ""]
    if mqtt_port:
        out += mqtt_key(root, mqtt_port)
    for n in range(1, 5):
        kr100, terminals = LINES[n]
        out.append("[%s\\Line%d]" % (root, n))
        out.append('"TerminalType"=' + dword(1 if kr100 else 0))
        for i in range(1, 31):
            net, product = terminals[i - 1] if i <= len(terminals) else (0, "Продукт %d" % i)
            out.append('"NetNum%d"=%s' % (i, dword(net)))
            out.append('"NameP%d"=%s' % (i, text(product)))
        out.append("")
    out.append("[%s\\PortParam]" % root)
    for n in range(1, 5):
        out.append('"PortL%d"=%s' % (n, dword(n - 1)))
        out.append('"SpeedL%d"=%s' % (n, dword(1)))
    out += ['"SoundStop"=' + dword(1), '"LogWr"=' + dword(1), '"SoundMode"=' + dword(1),
            '"SoundFileName"=' + text(""), ""]
    return "\r\n".join(out)


def write_store(path, content):
    """Replaces the store file at once, readable by its owner only (it holds the password),
    as the program itself writes it."""
    directory = os.path.dirname(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(dir=directory, prefix=".Karvel_net.")  # mode 0600
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="") as f:
            f.write(content)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def simulator_arguments(line):
    """The terminals of one line as karvel-sim options."""
    kr100, terminals = LINES[line]
    model = "KR100" if kr100 else "KR200"
    return " ".join("--terminal %d:%s:%s" % (net, model, product) for net, product in terminals)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--sim-args":
        print(simulator_arguments(int(sys.argv[2])))
        sys.exit(0)
    port = None
    if len(sys.argv) == 4 and sys.argv[2] == "--mqtt-port":
        port = int(sys.argv[3])
    elif len(sys.argv) != 2:
        sys.exit(__doc__)
    write_store(sys.argv[1], store(port))
