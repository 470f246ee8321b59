#!/usr/bin/env bash
# Makes docs/packprobe-window.png and docs/packprobe-password.png: the window
# after analysing the plain sample, and the password dialog of the encrypted
# one, under a virtual X server.
#   docs/packprobe-screenshots.sh [BUILD_FOLDER]   (default: build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
cmake --build "$build" --target packprobe-screenshots catalogues
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp demo/data/gz/vaultkeep-plain.gz demo/data/gz/vaultkeep-secret.gze "$work/"
# A fresh home: no settings, history or theme of the user's own.
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LANGUAGE= LC_ALL=C.UTF-8 \
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
    "$build/bin/packprobe-screenshots" docs "$work/vaultkeep-plain.gz" "$work/vaultkeep-secret.gze" secret
echo "docs/packprobe-window.png docs/packprobe-password.png written"
