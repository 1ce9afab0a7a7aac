# Sourced by the end-to-end tests (through common.sh) and tools/desktops/check-desktops, in a mount
# and network namespace of their own:
#   start_stand_in_service WORK_DIR [image_service.py options...]
# makes www.bing.com 127.0.0.1, trusts only a CA made here, and starts the stand-in service on
# 127.0.0.1:443 with a one-colour picture, WORK_DIR/picture.jpg; sets stub_pid.
start_stand_in_service() {
    local work=$1 support
    support=$(cd "$(dirname "${BASH_SOURCE[0]}")/../support" && pwd)
    shift
    mount --make-rprivate /
    ip link set lo up
    printf '127.0.0.1 localhost www.bing.com\n::1 localhost\n' >"$work/hosts"
    mount --bind "$work/hosts" /etc/hosts
    "$support/make-certificates" "$work/certs" >/dev/null || return 1
    mkdir "$work/trusted"
    cp "$work/certs/ca.pem" "$work/trusted/daylume-test-ca.pem"
    cp "$work/certs/ca.pem" "$work/trusted/ca-certificates.crt"
    openssl rehash "$work/trusted" >/dev/null 2>&1
    mount --bind "$work/trusted" /etc/ssl/certs

    convert -size 1920x1080 xc:'#1e6091' "$work/picture.jpg"
    /usr/bin/python3 "$support/image_service.py" --cert "$work/certs/server.pem" \
        --key "$work/certs/server.key" --port 443 --image "$work/picture.jpg" "$@" \
        >"$work/stub.log" 2>&1 &
    stub_pid=$!
    for _ in $(seq 50); do grep -q listening "$work/stub.log" && return 0; sleep 0.1; done
    cat "$work/stub.log"
    return 1
}
