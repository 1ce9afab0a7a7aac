# Sourced by the end-to-end tests, first thing:
#   source "$(dirname "$0")/common.sh"
# It runs the calling script again in a mount and network namespace of its own (exit status 77, a
# skip, where none can be made), with daylume=$1, a work folder $work removed at the end with
# every process named in $pids, and a home there as a GNOME session whose settings live in a
# keyfile. There,
#   stand_in [image_service.py options...]
# starts the stand-in image service of stand_in_service.sh, its picture $work/picture.jpg.
set -uo pipefail
if [ "${IN_NAMESPACE:-}" != 1 ]; then
    if ! unshare --mount --net true 2>/dev/null; then
        echo "SKIP: cannot make mount and network namespaces here (needs root): not run"
        exit 77
    fi
    IN_NAMESPACE=1 exec unshare --mount --net "$0" "$@"
fi
daylume=$1
work=$(mktemp -d) pids=
trap 'kill $pids 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile LANG=C.UTF-8
mkdir -p "$HOME"

fail() { echo "FAIL: $*"; for f in "$work"/*.log "$work"/*.err; do echo "--- $f"; tail -20 "$f"; done; exit 1; }
# wait_for COMMAND SECONDS: until the command (evaluated) succeeds.
wait_for() { for _ in $(seq $(($2 * 10))); do eval "$1" && return 0; sleep 0.1; done; return 1; }

source "$(dirname "${BASH_SOURCE[0]}")/stand_in_service.sh"
stand_in() {
    start_stand_in_service "$work" "$@" || fail "no stand-in image service"
    pids="$pids $stub_pid"
}
