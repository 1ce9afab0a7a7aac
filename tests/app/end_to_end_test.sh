#!/usr/bin/env bash
# build/daylume, unchanged, against the local stand-in for the image service: in a mount and
# network namespace of its own, www.bing.com is 127.0.0.1, a CA made here is the only one
# trusted, the stand-in listens on 127.0.0.1:443; on the X display of run-with-xvfb with trayer
# as the tray; as a GNOME session whose settings live in a keyfile.
#
#   end_to_end_test.sh SCENARIO DAYLUME
#
# Scenarios: launch, menu-refresh. Exit status 77 means skipped (reason printed).
set -uo pipefail
scenario=$1 daylume=$2

if [ "${IN_NAMESPACE:-}" != 1 ]; then
    if ! unshare --mount --net true 2>/dev/null; then
        echo "SKIP: cannot make mount and network namespaces here (needs root): not run"
        exit 77
    fi
    IN_NAMESPACE=1 exec unshare --mount --net "$0" "$@"
fi

fail() { echo "FAIL ($scenario): $*"; echo "--- daylume log"; cat "$work/daylume.log"; echo "--- stderr"; tail -20 "$work/daylume.err"; exit 1; }
count() { grep -cF -- "$1" "$work/daylume.log"; }
# Waits up to $2 seconds for a line of the log matching $1 (fixed text) to appear $3 times.
wait_for() {
    local count=${3:-1}
    for _ in $(seq $(($2 * 10))); do
        [ "$(count "$1")" -ge "$count" ] && return 0
        sleep 0.1
    done
    return 1
}

work=$(mktemp -d)
cleanup() { kill $daylume_pid $stub_pid $tray_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

source "$(dirname "$0")/stand_in_service.sh"
start_stand_in_service "$work" || fail "no stand-in service"

trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
tray_pid=$!

export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile LANG=C.UTF-8
mkdir -p "$HOME"
started=$(date +%s%N)
"$daylume" >"$work/daylume.log" 2>"$work/daylume.err" &
daylume_pid=$!
folder=$XDG_DATA_HOME/Daylume
stored() { find "$folder" -maxdepth 1 -name 'daylume-*.jpg' 2>/dev/null | wc -l; }

case $scenario in
launch)
    wait_for "🕔 启动后静默补偿检查开始" 30 || fail "no launch check"
    # 3 s to the tray set-up, 5 s more to the check; polling only makes it look later.
    after=$((($(date +%s%N) - started) / 1000000))
    [ "$after" -ge 8000 ] && [ "$after" -lt 20000 ] || fail "the launch check came after $after ms"
    wait_for "✅ 壁纸设置成功：" 30 || fail "no install after launch"
    [ "$(head -1 "$work/daylume.log")" = "🕔 启动后静默补偿检查开始" ] || fail "the launch check is not first"
    grep -qF "✅ 全球优先：成功拉取 [" "$work/daylume.log" || fail "no market line"
    path=$(grep -F "✅ 壁纸设置成功：" "$work/daylume.log" | tail -1 | sed 's/^✅ 壁纸设置成功：//')
    case $path in "$folder"/daylume-*.jpg) ;; *) fail "stored at $path" ;; esac
    [ -f "$path" ] || fail "$path missing"
    cmp -s "$path" "$work/picture.jpg" || fail "stored picture differs from the served one"
    cat "$work/daylume.log"
    uri=$(gsettings get org.gnome.desktop.background picture-uri)
    dark=$(gsettings get org.gnome.desktop.background picture-uri-dark)
    [ "$uri" = "'file://$path'" ] || fail "picture-uri is $uri"
    [ "$dark" = "$uri" ] || fail "picture-uri-dark is $dark"
    ;;
menu-refresh)
    # Installs not started by a wake or activation check: the launch refresh's and the menu's.
    refreshed() {
        echo $(($(count "✅ 壁纸设置成功：") - $(count "✅ 唤醒后检测到新图，开始更新")))
    }
    # The launch's two lookups have ended: the wake check has its answer and every install
    # begun has been stored.
    settled() {
        grep -qE "唤醒后图未变|唤醒后检测到新图|唤醒后无新图" "$work/daylume.log" && [ "$(refreshed)" -eq 1 ]
    }
    for _ in $(seq 300); do settled && break; sleep 0.1; done
    settled || fail "the launch checks did not end in one install each"
    hints=$(count "💡 唤醒或激活后尝试补偿拉取新图")
    # The icon is the 22-pixel window embedded in trayer's panel.
    geometry=$(xwininfo -root -tree | grep -F '("daylume" "Daylume")' | grep -E ' [0-9]+x[0-9]+\+0\+0 ' | head -1)
    read -r x y <<<"$(sed -E 's/.* \+([0-9]+)\+([0-9]+)$/\1 \2/' <<<"$geometry")"
    [ -n "$x" ] || fail "tray icon not found"
    xdotool mousemove $((x + 10)) $((y + 10)) click 1
    sleep 1
    xdotool key ctrl+r
    for _ in $(seq 200); do [ "$(refreshed)" -eq 2 ] && break; sleep 0.1; done
    [ "$(refreshed)" -eq 2 ] || fail "the menu's Refresh installed nothing"
    [ "$(count "💡 唤醒或激活后尝试补偿拉取新图")" -eq "$hints" ] || fail "opening the menu was taken for an activation"
    # A second launch counts as an activation of this one.
    "$daylume" >/dev/null 2>&1 || fail "second launch failed"
    wait_for "💡 唤醒或激活后尝试补偿拉取新图" 20 $((hints + 1)) || fail "the second launch was not an activation"
    ;;
*) echo "unknown scenario $scenario"; exit 2 ;;
esac

kill -TERM $daylume_pid
wait $daylume_pid
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
echo "PASS ($scenario)"
