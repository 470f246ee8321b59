#!/usr/bin/env bash
# Runs both tools on the bundled sample data. The samples are copied to a
# temporary folder first, so the demo never changes the files in demo/data.
set -euo pipefail
bin=${1:?usage: run-demo.sh BIN_FOLDER}
bin=$(cd "$bin" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

step() { printf '\n\033[1m$ %s\033[0m\n' "$*"; }
run() { step "$*"; "$@"; }

if [ -x "$bin/mailmend" ] && [ -d "$here/data/mail" ]; then
    echo "=== Mailmend: recovering deleted mails of a sample Thunderbird profile"
    cp -r "$here/data/mail" "$work/thunderbird"
    run "$bin/mailmend" --list-profiles --thunderbird "$work/thunderbird"
fi

if [ -x "$bin/packprobe" ] && [ -d "$here/data/gz" ]; then
    echo
    echo "=== Packprobe: analysing sample backup files"
    for f in "$here"/data/gz/*; do
        run "$bin/packprobe" --report "$f" </dev/null || true
    done
fi
