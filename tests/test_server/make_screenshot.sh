#!/usr/bin/env bash
# Shows KarvelC under Xvfb, sends it a few accounting calls the way the main program does
# and saves a picture of its window: make_screenshot.sh KARVELC OUTPUT.png
set -euo pipefail

if [ "${1:-}" != --inner ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inner "$(realpath "$1")" "$(realpath -m "$2")"
  echo "saved $2"
  exit 0
fi

# Inside the X server.
karvelc=$2
output=$3
work=$(mktemp -d)
trap 'kill "${server_pid:-}" "${bus_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8
dbus-daemon --session --nofork --print-address=1 >"$work/address" &
bus_pid=$!
while [ ! -s "$work/address" ]; do sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/address")

"$karvelc" &
server_pid=$!
/usr/bin/python3 - <<'PY'
import time
import dbus
bus = dbus.SessionBus()
for _ in range(100):
    if bus.name_has_owner("KarvelC.DataControlServ"):
        break
    time.sleep(0.1)
factory = bus.get_object("KarvelC.DataControlServ", "/KarvelC/DataControlServ")
path = factory.CreateObject(dbus_interface="KarvelC.ClassFactory")
obj = dbus.Interface(bus.get_object("KarvelC.DataControlServ", path), "KarvelC.IDataControlServ")
obj.AddCountLine2(dbus.Byte(5), "Пшеница", 1234.5, 12.35)
obj.AddCountLine1(dbus.Byte(3), "Кукуруза", 25760.0, 40.2)
obj.AddQXCountLine1(dbus.Byte(3), "Кукуруза", 25760.0, 40.2)
obj.AddCountLine3(dbus.Byte(12), "Ячмень", 118.25, 0.75)
obj.AddCountLine4(dbus.Byte(200), "", 7.0, 7.0)
try:
    obj.Connect("DSN=accounting")
except dbus.DBusException as e:
    print("Connect:", e.get_dbus_name())
dbus.Interface(bus.get_object("KarvelC.DataControlServ", path), "KarvelC.IUnknown").Release()
PY
sleep 1
import -window root "$work/root.png"
# The window sits at 192,107 and is 681 x 457.
convert "$work/root.png" -crop 681x457+192+107 +repage "$output"
