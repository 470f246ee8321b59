#!/usr/bin/env bash
# Proves a built package: unpacked into a scratch root, the installed programs
# run from there and find their catalogues relative to themselves, and the
# desktop entries and AppStream metadata validate.
# Usage: desktop/check-package.sh PACKAGE.deb
set -euo pipefail
deb=${1:?usage: check-package.sh PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin

fail() { echo "package check: $*" >&2; exit 1; }

for program in mailmend packprobe; do
    [ -x "$bin/$program" ] || fail "$program is not installed in usr/bin"
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --version) \
        || fail "$program --version failed"
    echo "$version" | head -n 1
    case $version in
        "$program "[0-9]*) ;;
        *) fail "$program --version printed: $version" ;;
    esac
    # A German text from the installed catalogues (usr/share/locale, found
    # relative to usr/bin).
    english=$(env -u LANGUAGE LC_ALL=C.UTF-8 "$bin/$program" --help)
    german=$(env -u LANGUAGE LC_ALL=C.UTF-8 "$bin/$program" -lang:de --help)
    [ "$german" != "$english" ] || fail "$program -lang:de --help is not translated"
    grep -q '^Aufruf' <<<"$german" || fail "$program -lang:de --help: $german"
    echo "$german" | head -n 1
    [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done

desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
for id in org.mendprobe.Mailmend org.mendprobe.Packprobe; do
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no icon $id.svg"
done
echo "Package $(basename "$deb"): programs run translated from their installed place;" \
     "desktop entries and metadata valid."
