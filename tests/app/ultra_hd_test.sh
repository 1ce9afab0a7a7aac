#!/usr/bin/env bash
# build/daylume on a 3840x2160 screen at 200 % with Ultra HD and the lock screen chosen, in the
# namespace and session of common.sh: the _UHD picture goes to the desktop, whose picture GNOME's
# lock screen shows (no screensaver key is written); where the service has none (HTTP 404), the
# 1920x1080 picture found does.
#   ultra_hd_test.sh DAYLUME      (on a 3840x2160 display: XVFB_SCREEN=3840x2160x24 run-with-xvfb)
source "$(dirname "$0")/common.sh"
log=$work/daylume.log
installs() { grep -c "✅ 壁纸设置成功：" "$log"; }
# The picture the desktop shows; the lock screen's key is left alone.
shown() {
    local uri
    gsettings get org.gnome.desktop.screensaver picture-uri | grep -q Daylume && fail "a screensaver picture was written"
    uri=$(gsettings get org.gnome.desktop.background picture-uri)
    uri=${uri#"'file://"}
    echo "${uri%"'"}"
}

# Only en-US answers, so its picture is the one found.
echo '{"markets": {"*": {"body": "{}"}, "en-US": {}},
       "prefixes": {"/th?id=OHR.Test_en-US_UHD.jpg": {"type": "image/jpeg", "body_file": "'"$work"'/uhd.jpg"}}}' >"$work/service.json"
convert -size 3840x2160 xc:'#2a9d8f' "$work/uhd.jpg"
stand_in --config "$work/service.json"

mkdir -p "$XDG_CONFIG_HOME/Daylume"
printf '[General]\nUltraHD=true\nLockScreen=true\n' >"$XDG_CONFIG_HOME/Daylume/Daylume.conf"
# 1920x1080 to Qt, 3840x2160 to a picture.
QT_SCALE_FACTOR=2 "$daylume" >"$log" 2>"$work/daylume.err" &
pids="$pids $!"
wait_for '[ "$(installs)" -ge 1 ]' 30 || fail "no install"
cmp -s "$(shown)" "$work/uhd.jpg" || fail "the desktop does not show the Ultra HD picture"
grep -q "request .* /th?id=OHR.Test_en-US_1920x1080" "$work/stub.log" && fail "the 1920x1080 picture was downloaded too"
grep -qF "✅ 全球优先：成功拉取 [en-US] 区域图 https://www.bing.com/th?id=OHR.Test_en-US_1920x1080.jpg" "$log" ||
    fail "the log does not name the address found"

# An older picture without an Ultra HD copy: the one found, after one try.
sed -i 's/"body_file"/"status": 404, "unused"/' "$work/service.json"
before=$(installs)
"$daylume" --refresh 2>/dev/null
wait_for '[ "$(installs)" -gt "$before" ]' 30 || fail "--refresh installed nothing"
cmp -s "$(shown)" "$work/picture.jpg" || fail "the desktop does not show the 1920x1080 picture"
"$daylume" --quit || fail "--quit failed"
echo PASS
