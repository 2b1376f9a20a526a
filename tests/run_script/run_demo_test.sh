#!/usr/bin/env bash
# Runs `bash scripts/run.sh --demo` in a throw-away home under Xvfb, waits until counts
# arrive in KarvelC, takes a screenshot, ends Karvel_Net as a logout would and checks that
# everything the script started has stopped. With a third argument --mqtt, the
# demonstration also runs a broker and the example consumer, whose totals per product
# must agree with KarvelC's at the end.
set -euo pipefail
source_dir=$1
build_dir=$2
mqtt=${3:-}
home=$(mktemp -d)
trap 'pkill -f "$home" 2> /dev/null || true; rm -rf "$home"' EXIT

memo=$home/memo.log
out=$home/run.out
export HOME=$home KARVEL_BUILD_DIR=$build_dir KARVELC_MEMO_LOG=$memo
unset XDG_CONFIG_HOME XDG_DATA_HOME DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY

fail() {
    echo "FAIL: $*"
    echo "--- script output"; cat "$out" || true
    exit 1
}

xvfb-run -a -s "-screen 0 1280x800x24" bash -c \
    "bash '$source_dir/scripts/run.sh' --demo $mqtt > '$out' 2>&1; echo \"exit \$?\" >> '$out'; \
     import -window root '$home/before-close.png' 2> /dev/null || true" &
runner=$!

karvel_pid=""
for _ in $(seq 300); do
    karvel_pid=$(pgrep -f "^$build_dir/app/Karvel_Net --program-dir $home/" || true)
    [ -n "$karvel_pid" ] && break
    sleep 1
done
[ -n "$karvel_pid" ] || fail "Karvel_Net did not start"

for _ in $(seq 120); do
    [ -s "$memo" ] && break
    sleep 1
done
[ -s "$memo" ] || fail "no booked change reached KarvelC within two minutes"
echo "KarvelC received: $(head -1 "$memo")"

environ() { tr '\0' '\n' < "/proc/$karvel_pid/environ" | sed -n "s/^$1=//p"; }
DISPLAY=$(environ DISPLAY) XAUTHORITY=$(environ XAUTHORITY) import -window root "$build_dir/run-demo.png" \
    || fail "no screenshot"
echo "screenshot: $build_dir/run-demo.png"

kill -TERM "$karvel_pid"
wait "$runner" || true
grep -q '^exit 0$' "$out" || fail "the run script did not end cleanly"
sleep 1
if pgrep -f "$home/.local/share/karvel-demo" > /dev/null; then
    fail "processes of the demonstration are still running: $(pgrep -fa "$home/.local/share/karvel-demo")"
fi
log=$home/.local/share/karvel-demo/program/log.txt
iconv -f CP1251 -t UTF-8 "$log" | grep -q 'Стоп' || fail "the work log has no stop line"
if [ "$mqtt" = --mqtt ]; then
    grep -q '^totals agree$' "$out" || fail "the consumer's totals differ from KarvelC's"
    grep -A20 'comparing the consumer' "$out"
fi
echo "1 passed, 0 failed"
