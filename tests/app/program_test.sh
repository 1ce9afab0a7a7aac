#!/usr/bin/env bash
# build/daylume, unchanged, from the command line to the desktop picture, in the namespace and
# session of common.sh, on the X display of run-with-xvfb with trayer as the tray.
#   program_test.sh DAYLUME      (exit status 77: skipped, the reason printed)
source "$(dirname "$0")/common.sh"
log=$work/first.log
# Runs daylume with the arguments (without a display if NO_DISPLAY is set); sets out, err, status.
run() {
    out=$(${NO_DISPLAY:+env -u DISPLAY -u WAYLAND_DISPLAY} "$daylume" "$@" 2>"$work/run.err")
    status=$? err=$(cat "$work/run.err")
}
expect() { [ "$status" -eq "$1" ] || fail "daylume $2: exit status $status, not $1 ($err)"; }
count() { grep -cF -- "$1" "$log"; }
icon() { xwininfo -root -tree | grep -F '("daylume" "Daylume")' | grep -E ' [1-6]?[0-9]x[1-6]?[0-9]\+0\+0 ' | awk '{print $1}'; }
icon_shown() { [ -n "$(icon)" ]; }
# Clicks the tray icon and presses a shortcut of its menu.
menu() { xdotool mousemove --window "$(icon)" 4 4 click 1 sleep 0.5 key "$1"; }
dialogs() { xdotool search --onlyvisible --name '^Daylume$' | wc -l; }
ended() { ! grep -qs '^[0-9]* ([^)]*) [^Z]' /proc/$first/stat; }
tray_line="Daylume: no system tray is running"

stand_in

# Without a display: the plain texts, and no Daylume to talk to.
NO_DISPLAY=1
run --help; expect 0 --help
grep -q -- "--refresh" <<<"$out" && grep -q "^Usage: daylume \[options\]" <<<"$out" || fail "--help printed: $out"
run --version; expect 0 --version
[[ $out =~ ^Daylume\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed: $out"
run --bogus; expect 2 --bogus
[ -z "$out" ] && grep -q "Unknown option 'bogus'" <<<"$err" && grep -q "^Usage: " <<<"$err" || fail "--bogus printed '$out' and '$err'"
run --quit; expect 1 --quit
[ "$err" = "Daylume is not running." ] || fail "--quit printed $err"
run; expect 1 "without a display"
[ "$err" = "Daylume needs a graphical desktop session: neither DISPLAY nor WAYLAND_DISPLAY is set" ] ||
    fail "without a display: $err"
NO_DISPLAY=

# Started at login by the autostart entry, with no tray yet: one line says how to get one, and no
# window shows; launched again by the user, the window does. The icon comes when a tray does.
mkdir "$work/bin" && printf '#!/bin/sh\necho "$1" >%s/opened; echo opener; echo opener >&2\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
windows() { xdotool search --onlyvisible --name '^Daylume$' | wc -l; }
started=$(date +%s%N)
PATH=$work/bin:$PATH "$daylume" $(sed -n 's/^Exec=daylume//p' "$(dirname "$0")/../../packaging/io.github.daylume.Daylume-autostart.desktop") \
    >"$log" 2>"$work/first.err" &
first=$! pids="$pids $!"
wait_for 'grep -q "$tray_line" "$work/first.err"' 10 || fail "no line about the missing tray"
sleep 0.5
[ "$(windows)" -eq 0 ] || fail "a window at login"
run; expect 0 "a second launch"
[ "$err" = "Daylume is already running; it will look for a new picture." ] || fail "second launch: $err"
wait_for '[ "$(windows)" -eq 1 ]' 5 || fail "no window for the user without a tray"
wait_for '[ "$(count "💡 唤醒或激活后尝试补偿拉取新图")" -ge 1 ]' 5 || fail "the launch was no activation"
[ "$(count "🕔")" -eq 0 ] || fail "the launch check ran early"
trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.err" 2>&1 &
pids="$pids $!"
wait_for icon_shown 10 || fail "the tray icon never appeared"
[ "$(grep -c "$tray_line" "$work/first.err")" -eq 1 ] || fail "the tray line came more than once"

# 3 s to the tray set-up, 5 s more to the check; polling only makes it look later.
wait_for '[ "$(count "🕔 启动后静默补偿检查开始")" -ge 1 ]' 30 || fail "no launch check"
after=$((($(date +%s%N) - started) / 1000000))
[ "$after" -ge 8000 ] && [ "$after" -lt 20000 ] || fail "the launch check came after $after ms"
wait_for '[ "$(count "✅ 壁纸设置成功：")" -ge 1 ]' 30 || fail "no install"
grep -qF "✅ 全球优先：成功拉取 [" "$log" || fail "no market line"
path=$(grep -F "✅ 壁纸设置成功：" "$log" | tail -1 | sed 's/^✅ 壁纸设置成功：//')
case $path in "$XDG_DATA_HOME"/Daylume/daylume-*.jpg) ;; *) fail "stored at $path" ;; esac
cmp -s "$path" "$work/picture.jpg" || fail "the stored picture differs from the served one"
uri=$(gsettings get org.gnome.desktop.background picture-uri)
[ "$uri" = "'file://$path'" ] || fail "picture-uri is $uri"
[ "$(gsettings get org.gnome.desktop.background picture-uri-dark)" = "$uri" ] || fail "no dark picture-uri"

# The activation's and the launch's checks have ended: both wake checks have their answer, and
# the one install begun by neither wake check (the launch's refresh) is done.
settled() { [ "$(count "唤醒后")" -ge 2 ] && [ $(($(count "✅ 壁纸设置成功：") - $(count "唤醒后检测到新图"))) -eq 1 ]; }
wait_for settled 30 || fail "the launch's checks did not end in one install each"
installs=$(count "✅ 壁纸设置成功：")
run --refresh; expect 0 --refresh
[ "$err" = "Daylume is already running; it will refresh the wallpaper now." ] || fail "--refresh: $err"
wait_for '[ "$(count "✅ 壁纸设置成功：")" -gt "$installs" ]' 20 || fail "--refresh installed nothing"
grep "^Q" "$work/first.err" && fail "Qt warned"
# Image Source's Open: the opener's output stays out of the log.
menu ctrl+s && sleep 0.5 && xdotool key Return
wait_for '[ -s "$work/opened" ]' 5 && grep -q "^https://www.bing.com/" "$work/opened" || fail "Open ran no xdg-open"
grep -q opener "$log" "$work/first.err" && fail "the opener's output in the log"
run --quit; expect 0 --quit
ended || fail "--quit returned before the first ended"

# The desktop entry's Preferences action starts Daylume showing its preferences; asked again, the
# running one shows them again.
prefs() { xdotool search --onlyvisible --name '^Daylume Preferences$' | wc -l; }
action=$(sed -n '/^\[Desktop Action Preferences\]/,/^\[/s/^Exec=daylume//p' \
    "$(dirname "$0")/../../packaging/io.github.daylume.Daylume.desktop")
"$daylume" $action >"$work/prefs.log" 2>&1 &
first=$! pids="$pids $!"
wait_for '[ "$(prefs)" -eq 1 ]' 10 || fail "the Preferences action showed no preferences"
wait_for icon_shown 10 || fail "the tray icon never appeared"
xdotool key Escape && wait_for '[ "$(prefs)" -eq 0 ]' 5 || fail "Escape left the preferences open"
run --preferences; expect 0 --preferences
[ "$err" = "Daylume is already running; it will show its preferences." ] || fail "--preferences: $err"
wait_for '[ "$(prefs)" -eq 1 ]' 5 || fail "--preferences showed nothing"
run --quit; expect 0 "--quit with the preferences open"

# With a tray from the start: no word about one. Each way of asking to quit ends it within a
# second, with the task-bar window and its dialog open (Ctrl+D), or the About dialog (Ctrl+I): the
# tray's menu too, which answers while a dialog is open.
for way in --quit TERM INT menu; do for opened in ctrl+d:2 ctrl+i:1; do
    "$daylume" >"$work/second.log" 2>"$work/second.err" &
    first=$! pids="$pids $!"
    wait_for icon_shown 10 || fail "the tray icon never appeared"
    grep -q "$tray_line" "$work/second.err" && fail "a tray line although a tray exists"
    menu ${opened%:*} && wait_for '[ "$(dialogs)" -eq ${opened#*:} ]' 5 || fail "$opened opened nothing"
    case $way in
        --quit) run --quit; expect 0 "--quit after $opened" ;;
        menu) menu ctrl+q ;;
        *) kill -$way $first ;;
    esac
    wait_for ended 1 || fail "$way after $opened left it running"
    wait $first; status=$?; expect 0 "$way after $opened"
done; done
echo PASS
