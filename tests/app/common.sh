# Sourced by the end-to-end tests, first thing:
#   source "$(dirname "$0")/common.sh"
# It runs the calling script again in a mount and network namespace of its own (exit status 77, a
# skip, where none can be made), with daylume=$1, a work folder $work removed at the end with
# every process named in $pids, and a home there as a GNOME session whose settings live in a
# keyfile. There,
#   start_stand_in_service [image_service.py options...]
# makes www.bing.com 127.0.0.1, trusts only a CA made here, and starts the stand-in service on
# 127.0.0.1:443 with a one-colour picture, $work/picture.jpg.
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

start_stand_in_service() {
    local support
    support=$(cd "$(dirname "${BASH_SOURCE[0]}")/../support" && pwd)
    mount --make-rprivate /
    ip link set lo up
    printf '127.0.0.1 localhost www.bing.com\n::1 localhost\n' >"$work/hosts"
    mount --bind "$work/hosts" /etc/hosts
    "$support/make-certificates" "$work/certs" >/dev/null || fail "no certificates"
    mkdir "$work/trusted"
    cp "$work/certs/ca.pem" "$work/trusted/daylume-test-ca.pem"
    cp "$work/certs/ca.pem" "$work/trusted/ca-certificates.crt"
    openssl rehash "$work/trusted" >/dev/null 2>&1
    mount --bind "$work/trusted" /etc/ssl/certs

    convert -size 1920x1080 xc:'#1e6091' "$work/picture.jpg"
    /usr/bin/python3 "$support/image_service.py" --cert "$work/certs/server.pem" \
        --key "$work/certs/server.key" --port 443 --image "$work/picture.jpg" "$@" \
        >"$work/stub.log" 2>&1 &
    pids="$pids $!"
    wait_for 'grep -q listening "$work/stub.log"' 5 || fail "the stand-in service did not start"
}
