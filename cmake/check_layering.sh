#!/bin/sh
# Compiler launcher for the logic's objects: runs the compile, then reads the dependency file the
# compiler just wrote (-MF) and fails when any header it resolved belongs to the Linux platform:
# a file under src/platform/linux/, or a header of Qt Network, Widgets or D-Bus, libcurl, GLib or
# XCB. Reading what the compiler resolved, not the include lines, catches "../platform/linux/..."
# and headers reached through a shared include folder alike.
#
# Usage: check_layering.sh <source dir> <compiler> <arguments>...
set -u
source_dir=$(realpath -m "$1")
shift

"$@" || exit

depfile=
object=
source=
previous=
for argument in "$@"; do
    case $previous in
        -MF) depfile=$argument ;;
        -o) object=$argument ;;
        -c) source=$argument ;;
    esac
    previous=$argument
done
if [ -z "$depfile" ] || [ ! -f "$depfile" ]; then
    echo "error: the compile of $source wrote no dependency file (-MF) to check its includes" >&2
    rm -f "$object"
    exit 1
fi

# Make syntax: "object: dep dep \" across lines, a space in a name escaped as "\ ". The names are
# as the compiler found them, relative to this folder or not, so resolve them all in one go.
escaped_space=$(printf '\001')
offenders=$(sed -e '1s/^[^:]*: *//' -e 's/\\$//' -e "s/\\\\ /$escaped_space/g" "$depfile" |
    tr ' \t' '\n\n' | tr '\001' ' ' | grep -v '^$' | xargs -r -d '\n' realpath -m -- |
    grep -F -e "$source_dir/src/platform/linux/" -e /QtNetwork/ -e /QtWidgets/ -e /QtDBus/ \
        -e /curl/ -e /glib-2.0/ -e /gio/ -e /xcb/ | sort -u)
if [ -n "$offenders" ]; then
    echo "error: ${source#"$source_dir"/} includes the Linux platform, which the logic reaches" \
        "through the interfaces in src/platform/ only:" >&2
    echo "$offenders" | sed 's/^/  /' >&2
    # A Makefile build would otherwise take the object as up to date next time.
    rm -f "$object"
    exit 1
fi
