#!/usr/bin/env bash
# Runs the system. Installs what is missing and builds first.
#
#   bash scripts/run.sh           the configured lines when there are any, else a demonstration
#   bash scripts/run.sh --demo    always the demonstration
#   bash scripts/run.sh --demo --mqtt   the demonstration with a local MQTT broker and the
#                                 example consumer (docs/plant-network.md); at the end the
#                                 consumer's totals per product are compared with KarvelC's
#
# The demonstration runs four lines of simulated terminals (karvel-sim) on pseudo-terminals
# linked as COM1..COM4, the test accounting server KarvelC, and Karvel_Net on top, all with a
# configuration of their own under ~/.local/share/karvel-demo: the user's own store is never
# touched. Closing the main window of Karvel_Net stops everything the script started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KARVEL_BUILD_DIR:-$root/build}
step() { printf 'run: %s\n' "$*"; }

demo_home=${KARVEL_DEMO_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/karvel-demo}
for arg in "$@"; do [ "$arg" = --mqtt ] && export KARVEL_DEMO_MQTT=1; done

if [ "${1:-}" != "--inside-demo" ]; then
    step "checking the packages (installs what is missing)"
    bash scripts/install-deps.sh
    step "building (the first build takes several minutes)"
    # A build folder that is already set up keeps its settings (a sanitizer build the
    # tests run this script in stays one, and is not rebuilt).
    if [ -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" > /dev/null
    else
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
    fi
    cmake --build "$build" -j"$(nproc)" --target Karvel_Net KarvelC karvel-sim > "$build/run-build.log" 2>&1 \
        || { tail -30 "$build/run-build.log"; echo "run: the build failed (whole log: $build/run-build.log)" >&2; exit 1; }

    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        step "no graphical display found: starting a virtual one (to see the windows, run this from a desktop session)"
        exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
    fi

    store=${XDG_CONFIG_HOME:-$HOME/.config}/Vistam/Karvel_net.reg
    if [ "${1:-}" != "--demo" ] && [ -z "${KARVEL_DEMO_MQTT:-}" ] && [ -f "$store" ] && grep -q 'PortParam' "$store" \
        && grep -qiE '"NetNum[0-9]+"=dword:0*[1-9a-f]' "$store"; then
        step "starting Karvel_Net on the configured lines ($store)"
        exec "$build/app/Karvel_Net"
    fi

    step "no configured lines: starting the demonstration in $demo_home"
    rm -rf "$demo_home"
    mkdir -p "$demo_home/config/Vistam" "$demo_home/data" "$demo_home/program"
    export KARVEL_DEMO_HOME=$demo_home XDG_CONFIG_HOME=$demo_home/config XDG_DATA_HOME=$demo_home/data
    mqtt_args=()
    if [ -n "${KARVEL_DEMO_MQTT:-}" ]; then
        KARVEL_DEMO_MQTT_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        export KARVEL_DEMO_MQTT_PORT KARVELC_MEMO_LOG=${KARVELC_MEMO_LOG:-$demo_home/karvelc-memo.log}
        mqtt_args=(--mqtt-port "$KARVEL_DEMO_MQTT_PORT")
    fi
    python3 scripts/demo-config.py "$XDG_CONFIG_HOME/Vistam/Karvel_net.reg" "${mqtt_args[@]}"
    # A bus of the demonstration's own: it finds the test server's registration in the
    # demonstration's data folder and ends with it.
    step "starting a session bus for the demonstration"
    exec dbus-run-session -- bash "$0" --inside-demo
fi

pids=()
stop_all() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
}
trap stop_all EXIT
trap 'exit 130' INT TERM

step "registering the test accounting server KarvelC"
"$build/test_server/KarvelC" -RegServer
step "starting KarvelC (its window lists every booked change)"
"$build/test_server/KarvelC" > "$demo_home/karvelc.log" 2>&1 &
pids+=($!)

for line in 1 2 3 4; do
    # shellcheck disable=SC2046 # the terminals are separate options
    "$build/sim/karvel-sim" --com "$line" $(python3 scripts/demo-config.py --sim-args "$line") \
        --cycle-ms 6000 --record "$demo_home/line$line.json" > "$demo_home/sim$line.log" 2>&1 &
    pids+=($!)
done
step "waiting for the four simulated lines"
for line in 1 2 3 4; do
    for _ in $(seq 50); do
        [ -e "$XDG_CONFIG_HOME/Vistam/dosdevices/com$line" ] && break
        sleep 0.1
    done
    [ -e "$XDG_CONFIG_HOME/Vistam/dosdevices/com$line" ] || { echo "run: line $line did not start (see $demo_home/sim$line.log)" >&2; exit 1; }
done

if [ -n "${KARVEL_DEMO_MQTT:-}" ]; then
    port=$KARVEL_DEMO_MQTT_PORT
    step "starting a local MQTT broker on 127.0.0.1:$port and the example consumer"
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence true\npersistence_location %s/\n%s' \
        "$port" "$demo_home" "$([ "$(id -u)" = 0 ] && echo 'user root')" > "$demo_home/mosquitto.conf"
    mosquitto -c "$demo_home/mosquitto.conf" > "$demo_home/mosquitto.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
        (: < "/dev/tcp/127.0.0.1/$port") 2> /dev/null && break
        sleep 0.1
    done
    /usr/bin/python3 docs/examples/mqtt_consumer.py --port "$port" --client-id karvel-demo-consumer \
        --db "$demo_home/bookings.sqlite" > "$demo_home/consumer.log" 2>&1 &
    pids+=($!)
fi

step "starting Karvel_Net (close its main window to end the demonstration)"
"$build/app/Karvel_Net" --program-dir "$demo_home/program"
if [ -n "${KARVEL_DEMO_MQTT:-}" ]; then
    step "comparing the consumer's totals with KarvelC's"
    for _ in $(seq 50); do
        python3 scripts/demo-mqtt-totals.py "$KARVELC_MEMO_LOG" "$demo_home/bookings.sqlite" > /dev/null 2>&1 && break
        sleep 0.2
    done
    python3 scripts/demo-mqtt-totals.py "$KARVELC_MEMO_LOG" "$demo_home/bookings.sqlite" || true
fi
step "Karvel_Net ended; stopping the simulated lines and the test server"
