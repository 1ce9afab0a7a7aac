#!/usr/bin/env bash
# The real program: a second launch exits 0 at once, printing nothing, and the running one counts
# it as an activation; SIGTERM then ends the first with status 0. Runs in a network namespace of
# its own (loopback only), so the lookups it starts go nowhere.
set -uo pipefail
daylume=$1
if [ "${IN_NETNS:-}" != 1 ]; then
    if ! unshare --net true 2>/dev/null; then
        echo "SKIP: no network namespaces here (needs root or user namespaces)"
        exit 77
    fi
    IN_NETNS=1 exec unshare --net "$0" "$@"
fi
ip link set lo up
home=$(mktemp -d)
trap 'kill $first $tray 2>/dev/null; rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config GSETTINGS_BACKEND=memory

trayer >"$home/trayer.err" 2>&1 &
tray=$!
"$daylume" >"$home/first.log" 2>"$home/first.err" &
first=$!
# Its icon in the tray shows that the set-up (3 s after start) has run and the observers exist;
# the launch check follows 5 s later.
icon_shown() { xwininfo -root -tree | grep -F '("daylume" "Daylume")' | grep -qE ' [0-9]+x[0-9]+\+0\+0 '; }
for _ in $(seq 100); do icon_shown && break; sleep 0.1; done
icon_shown || { echo "the tray icon never appeared"; cat "$home/first.err" "$home/trayer.err"; exit 1; }

second_out=$("$daylume" 2>&1)
second_status=$?
[ "$second_status" -eq 0 ] || { echo "second launch exited with $second_status"; exit 1; }
[ -z "$second_out" ] || { echo "second launch printed: $second_out"; exit 1; }

for _ in $(seq 50); do grep -q "💡 唤醒或激活后尝试补偿拉取新图" "$home/first.log" && break; sleep 0.1; done
grep -q "💡 唤醒或激活后尝试补偿拉取新图" "$home/first.log" ||
    { echo "the first instance did not count the launch:"; cat "$home/first.log" "$home/first.err"; exit 1; }
if grep -q "🕔" "$home/first.log"; then echo "launch check ran early"; exit 1; fi

kill -TERM $first
wait $first
status=$?
[ "$status" -eq 0 ] || { echo "SIGTERM: exit status $status"; cat "$home/first.err"; exit 1; }
echo "second launch handed over; first exited 0 on SIGTERM"
