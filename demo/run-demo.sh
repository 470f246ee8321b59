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
# Runs a command that may end with a reported error (exit 1) as part of the show.
show() { step "$*"; "$@" || echo "(exit status $?)"; }

echo "=== Mailmend: recovering deleted mails in a sample Thunderbird profile"
cp -r "$here/data/mail" "$work/thunderbird"
folders="$work/thunderbird/Profiles/k3x9demo.default-release/Mail/Local Folders"
show "$bin/mailmend" --list-profiles --thunderbird "$work/thunderbird"
# Inbox is UTF-8 with three deleted mails, Trash has none, Sent is UTF-16.
show "$bin/mailmend" --scan "$folders/Inbox" "$folders/Trash" "$folders/Sent"
# Which mails are they? Then bring back only the second one: its status line
# changes in one character, the other two stay deleted.
show "$bin/mailmend" --list-deleted "$folders/Inbox"
show "$bin/mailmend" --list-deleted --json "$folders/Sent"
show grep -an "^X-Mozilla-Status:" "$folders/Inbox"
show "$bin/mailmend" --recover --yes --only 2 "$folders/Inbox"
show grep -an "^X-Mozilla-Status:" "$folders/Inbox"
show "$bin/mailmend" --list-deleted "$folders/Inbox"
show "$bin/mailmend" --recover --yes --only 5 "$folders/Inbox"
show "$bin/mailmend" --recover --yes "$folders/Inbox" "$folders/Trash" "$folders/Sent"
show ls -a "$folders"
show "$bin/mailmend" -lang:de --scan "$folders/Inbox" "$folders/Sent"

echo
echo "=== Packprobe: analysing sample backup files"
gz="$here/data/gz"
show "$bin/packprobe" --report "$gz/vaultkeep-plain.gz"
step "echo secret | $bin/packprobe --report $gz/vaultkeep-secret.gze --password-stdin --save $work/unpacked.txt"
echo secret | "$bin/packprobe" --report "$gz/vaultkeep-secret.gze" --password-stdin --save "$work/unpacked.txt" ||
    echo "(exit status $?)"
show head -c 300 "$work/unpacked.txt"
echo
step "echo wrong | $bin/packprobe --report $gz/vaultkeep-secret.gze --password-stdin"
echo wrong | "$bin/packprobe" --report "$gz/vaultkeep-secret.gze" --password-stdin || echo "(exit status $?)"
show "$bin/packprobe" --report "$gz/damaged.gz"
show "$bin/packprobe" --report "$gz/plain-gzip.gz" --json
show "$bin/packprobe" -lang:de --report "$gz/vaultkeep-plain.gz"
# The whole backup set at once: one line per file, then a summary; the
# damaged file makes the exit status 1.
step "echo secret | $bin/packprobe --verify $gz --password-stdin"
echo secret | "$bin/packprobe" --verify "$gz" --password-stdin || echo "(exit status $?)"
