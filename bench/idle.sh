#!/usr/bin/env bash
# Footprint at rest: Daylume after its launch check and first install, and a bare Qt tray
# program beside it, both idle for the same 60 s on one X display with trayer. Prints resident,
# proportional (PSS) and private (USS) memory, CPU time and context switches (all threads) in
# that minute.
#
#   bench/idle.sh DAYLUME BARE_TRAY    (run under tests/run-with-xvfb)
#
# Daylume runs against the local stand-in for the image service, in a mount and network
# namespace of its own (root), set up as for the end-to-end tests (tests/app/common.sh).
seconds=${IDLE_SECONDS:-60} bare=$2
source "$(dirname "$0")/../tests/app/common.sh"
stand_in
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
pids="$pids $!"
"$daylume" >"$work/daylume.log" 2>/dev/null &
daylume_pid=$! pids="$pids $!"
"$bare" >/dev/null 2>&1 &
bare_pid=$! pids="$pids $!"
for _ in $(seq 300); do grep -q "✅ 壁纸设置成功：" "$work/daylume.log" && break; sleep 0.1; done
grep -q "✅ 壁纸设置成功：" "$work/daylume.log" || { echo "Daylume installed nothing"; cat "$work/daylume.log"; exit 1; }
# The launch lookups and installs have ended, and the threads Qt pooled for them (30 s expiry):
# the switches of a thread that exits would drop out of the count below.
sleep 35

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print n}'; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
pss() { awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup"; }
uss() { awk '/^Private_(Clean|Dirty):/ {n += $2} END {print n}' "/proc/$1/smaps_rollup"; }
threads() { ls "/proc/$1/task" | wc -l; }

declare -A t0 s0
for pid in $daylume_pid $bare_pid; do t0[$pid]=$(ticks $pid); s0[$pid]=$(switches $pid); done
sleep "$seconds"
hz=$(getconf CLK_TCK)
printf 'idle for %d s, from 35 s after the first install (trayer on Xvfb)\n' "$seconds"
printf '%-10s %10s %10s %10s %8s %14s %16s\n' program "RSS (KiB)" "PSS (KiB)" "USS (KiB)" \
    threads "CPU (ms)" "ctx switches"
for pid in $daylume_pid $bare_pid; do
    name=Daylume; [ "$pid" = "$bare_pid" ] && name=bare-tray
    printf '%-10s %10d %10d %10d %8d %14d %16d\n' $name "$(rss $pid)" "$(pss $pid)" "$(uss $pid)" \
        "$(threads $pid)" \
        $(( ($(ticks $pid) - ${t0[$pid]}) * 1000 / hz )) $(( $(switches $pid) - ${s0[$pid]} ))
done
awk -v a="$(rss $daylume_pid)" -v b="$(rss $bare_pid)" -v c="$(uss $daylume_pid)" -v d="$(uss $bare_pid)" \
    'BEGIN {printf "RSS ratio %.2f (goal <= 1.3), USS ratio %.2f (goal <= 2)\n", a / b, c / d}'
# Where Daylume's private memory is: the largest mappings.
awk '/^[0-9a-f]+-/ {name = NF >= 6 ? $6 : "[anon]"} /^Private_(Clean|Dirty):/ {kib[name] += $2}
     END {for (n in kib) if (kib[n] >= 256) printf "  %7d KiB  %s\n", kib[n], n}' \
    "/proc/$daylume_pid/smaps" | sort -rn | head -12
