#!/usr/bin/env bash
# The demonstration's store holds the administrator password: scripts/demo-config.py must
# leave it readable by its owner only, whether it creates the file or replaces one that a
# looser umask or an older run left world-readable.
set -euo pipefail
source_dir=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
umask 022

fail() { echo "FAIL: $*"; exit 1; }

check() {
    local store=$1
    python3 "$source_dir/scripts/demo-config.py" "$store"
    [ "$(stat -c %a "$store")" = 600 ] || fail "$store has mode $(stat -c %a "$store"), not 600"
    head -1 "$store" | grep -q '^Windows Registry Editor Version 5.00' || fail "$store: no header"
}

check "$dir/new.reg"
touch "$dir/old.reg" && chmod 644 "$dir/old.reg"
check "$dir/old.reg"
leftovers=$(find "$dir" -name '.Karvel_net.*')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
echo "2 passed, 0 failed"
