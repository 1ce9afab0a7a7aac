#!/usr/bin/env bash
# build/daylume with en-US chosen as its region, while ja-JP always answers first with another
# picture, in the namespace and session of common.sh: a launch and two more install only the
# region's picture, never download the other, and announce it once.
#   region_test.sh DAYLUME
source "$(dirname "$0")/common.sh"
log=$work/daylume.log
eval "$(dbus-launch --sh-syntax)"
pids="$pids $DBUS_SESSION_BUS_PID"
/usr/bin/python3 -m dbusmock --session --template notification_daemon -l "$work/notifications.log" \
    >"$work/dbusmock.log" 2>&1 &
pids="$pids $!"

other='{\"images\":[{\"url\":\"/th?id=OHR.Other_1920x1080.jpg\",\"startdate\":\"20261206\"}]}'
echo '{"markets": {"ja-JP": {"body": "'"$other"'"}, "*": {"delay": 0.5}}}' >"$work/service.json"
stand_in --config "$work/service.json"
mkdir -p "$XDG_CONFIG_HOME/Daylume"
printf '[General]\nRegion=en-US\n' >"$XDG_CONFIG_HOME/Daylume/Daylume.conf"

for run in 1 2 3; do
    "$daylume" >>"$log" 2>>"$work/daylume.err" &
    pids="$pids $!"
    # Until the launch's check has ended: its lookups take half a second, the install less.
    wait_for '[ "$(grep -c "🕔 启动后静默补偿检查开始" "$log")" -ge $run ]' 30 ||
        fail "run $run: no launch check"
    sleep 2
    "$daylume" --quit || fail "--quit failed"
    # Under the sanitizers, on a busy machine, the leak check at exit takes seconds.
    wait_for '! pgrep -xf "$daylume" >/dev/null' 30 || fail "run $run did not end"
done
[ "$(grep -c "✅ 壁纸设置成功：" "$log")" -ge 3 ] || fail "not one install a launch"
grep "全球优先" "$log" | grep -v "\[en-US\]" && fail "another market's picture was taken"
grep -q "request .* /th?id=OHR.Other" "$work/stub.log" && fail "the other picture was downloaded"
notified=$(grep -c " Notify " "$work/notifications.log")
[ "$notified" -eq 1 ] || fail "$notified notifications, not 1"
echo PASS
