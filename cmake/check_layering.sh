#!/bin/sh
# Compiler launcher for the objects of src/: runs the compile, then reads the dependency file the
# compiler just wrote (-MF) and fails when any header it resolved lies above the source's own
# folder, in the order platform/, pipeline/, shell/, triggers/ (dependencies point down only);
# and, outside src/platform/linux/, when one belongs to the Linux platform: a file under
# src/platform/linux/, or a header of Qt Network, Widgets or D-Bus, libcurl, GLib or XCB.
# Reading what the compiler resolved, not the include lines, catches "../shell/..." and headers
# reached through a shared include folder alike.
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

# What the build generates (moc's output, resources) is not checked.
case $source in "$source_dir"/src/*) ;; *) exit 0 ;; esac
# The folders above the source's, which it must not reach.
case ${source#"$source_dir"/src/} in
    platform/*) above="pipeline shell triggers" ;;
    pipeline/*) above="shell triggers" ;;
    shell/*) above="triggers" ;;
    *) above="" ;;
esac
patterns=$(for folder in $above; do printf '%s\n' "$source_dir/src/$folder/"; done)
case $source in
    "$source_dir"/src/platform/linux/*) ;;
    *) patterns=$(printf '%s\n%s\n' "$patterns" "$source_dir/src/platform/linux/
/QtNetwork/
/QtWidgets/
/QtDBus/
/curl/
/glib-2.0/
/gio/
/xcb/") ;;
esac
patterns=$(printf '%s\n' "$patterns" | grep -v '^$')
[ -n "$patterns" ] || exit 0

# Make syntax: "object: dep dep \" across lines, a space in a name escaped as "\ ". The names are
# as the compiler found them, relative to this folder or not, so resolve them all in one go.
escaped_space=$(printf '\001')
offenders=$(sed -e '1s/^[^:]*: *//' -e 's/\\$//' -e "s/\\\\ /$escaped_space/g" "$depfile" |
    tr ' \t' '\n\n' | tr '\001' ' ' | grep -v '^$' | xargs -r -d '\n' realpath -m -- |
    grep -F -e "$patterns" | sort -u)
if [ -n "$offenders" ]; then
    echo "error: ${source#"$source_dir"/} includes what lies above it (dependencies point down:" \
        "platform, pipeline, shell, triggers; the Linux platform only through the interfaces" \
        "in src/platform/):" >&2
    echo "$offenders" | sed 's/^/  /' >&2
    # A Makefile build would otherwise take the object as up to date next time.
    rm -f "$object"
    exit 1
fi
