#!/usr/bin/env bash
# The real program from the command line: what it prints and exits with, and what a running
# Daylume does with a later launch. Runs in a network namespace of its own (loopback only), so
# the lookups it starts go nowhere.
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
fail() { echo "FAIL: $*"; for f in "$home"/*.log "$home"/*.err; do echo "--- $f"; cat "$f"; done; exit 1; }
# Runs daylume with the arguments; sets out, err and status.
run() { out=$("$daylume" "$@" 2>"$home/run.err"); status=$?; err=$(cat "$home/run.err"); }
expect() { [ "$status" -eq "$1" ] || fail "daylume $2: exit status $status, not $1 ($err)"; }
tray_line="Daylume: no system tray is running"
icon_shown() { xwininfo -root -tree | grep -F '("daylume" "Daylume")' | grep -qE ' [0-9]+x[0-9]+\+0\+0 '; }
wait_for() { for _ in $(seq $(($2 * 10))); do eval "$1" && return 0; sleep 0.1; done; return 1; }

# Without a display: the plain texts, and no Daylume to talk to.
no_display() { env -u DISPLAY -u WAYLAND_DISPLAY "$daylume" "$@" 2>"$home/run.err"; }
out=$(no_display --help); status=$?; expect 0 --help
grep -q -- "--refresh" <<<"$out" && grep -q "^Usage: daylume \[options\]" <<<"$out" || fail "--help printed: $out"
out=$(no_display --version); status=$?; expect 0 --version
[[ $out =~ ^Daylume\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed: $out"
out=$(no_display --bogus); status=$?; err=$(cat "$home/run.err"); expect 2 --bogus
[ -z "$out" ] && grep -q "Unknown option 'bogus'" <<<"$err" && grep -q "^Usage: " <<<"$err" ||
    fail "--bogus printed '$out' and '$err'"
out=$(no_display --quit); status=$?; err=$(cat "$home/run.err"); expect 1 --quit
[ "$err" = "Daylume is not running." ] || fail "--quit printed $err"
out=$(no_display); status=$?; err=$(cat "$home/run.err"); expect 1 "without a display"
[ "$err" = "Daylume needs a graphical desktop session: neither DISPLAY nor WAYLAND_DISPLAY is set" ] ||
    fail "without a display: $err"

# No tray yet: one line says how to get one, and the icon comes when a tray does.
"$daylume" >"$home/first.log" 2>"$home/first.err" &
first=$!
wait_for 'grep -q "$tray_line" "$home/first.err"' 10 || fail "no line about the missing tray"
trayer >"$home/trayer.err" 2>&1 &
tray=$!
wait_for icon_shown 10 || fail "the tray icon never appeared"
[ "$(grep -c "$tray_line" "$home/first.err")" -eq 1 ] || fail "the tray line came more than once"

# Later launches hand over their request and say so.
run; expect 0 "a second launch"
[ "$err" = "Daylume is already running; it will look for a new picture." ] || fail "second launch: $err"
wait_for 'grep -q "💡 唤醒或激活后尝试补偿拉取新图" "$home/first.log"' 5 || fail "the launch was no activation"
grep -q "🕔" "$home/first.log" && fail "the launch check ran early"
run --refresh; expect 0 --refresh
[ "$err" = "Daylume is already running; it will refresh the wallpaper now." ] || fail "--refresh: $err"
wait_for 'grep -q "❌ 获取 Bing 图片 URL 失败" "$home/first.log"' 10 || fail "--refresh started no refresh"
run --quit; expect 0 --quit
wait $first; status=$?; expect 0 "the first, told to quit"

# With a tray from the start: no word about one.
"$daylume" >"$home/second.log" 2>"$home/second.err" &
first=$!
wait_for icon_shown 10 || fail "the tray icon never appeared"
grep -q "$tray_line" "$home/second.err" && fail "a tray line although a tray exists"
kill -TERM $first; wait $first; status=$?; expect 0 "SIGTERM"
echo "PASS"
