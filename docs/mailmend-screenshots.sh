#!/usr/bin/env bash
# Pictures of Mailmend's window for the README, made under Xvfb from sample
# data that this script writes into a temporary Thunderbird folder:
#   docs/mailmend-window.png  the main window after one folder was recovered
#   docs/mailmend-choose.png  the list of a folder's deleted mails
#   docs/mailmend-screenshots.sh [BUILD_FOLDER] [-lang:CODE]   (default: build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
lang=${2:-}
cmake --build "$build" --target mailmend-screenshots catalogues

# Away from /tmp, so that the folder tree shows little besides the sample.
work=$(mktemp -d /var/tmp/mailmend-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
tb=$work/home/demo/.thunderbird
profile=Profiles/x7q2demo.default-release
folders=$tb/$profile/Mail/Local\ Folders
mkdir -p "$folders"
printf '[Profile0]\nName=default-release\nIsRelative=1\nPath=%s\nDefault=1\n\n[General]\nStartWithLastProfile=1\n' \
    "$profile" >"$tb/profiles.ini"
touch "$tb/$profile/prefs.js"

senders=('Anna Berger <anna.berger@example.org>' '=?UTF-8?Q?J=C3=B6rg_M=C3=BCller?= <joerg@example.de>'
         'Shop Newsletter <news@shop.example>' 'Carlos Ruiz <carlos@example.es>' 'IT Service <it@example.com>'
         '=?ISO-8859-1?Q?Fran=E7ois_L=E9vy?= <francois@example.fr>')
subjects=('Minutes of the project meeting' '=?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_M=C3=BCnchen?=' 'Weekly offers'
          'Flight tickets for May' 'Password expires soon' 'Invoice 2026-0413' 'Photos from the weekend'
          'Re: Budget draft' '=?UTF-8?B?UmU6IENhZsOpIGRlbWFpbj8=?=' 'Your order has shipped')

# mail_folder FILE COUNT DELETED_EVERY: COUNT mails, every DELETED_EVERY-th one deleted.
mail_folder() {
    local file=$1 count=$2 every=$3 i status
    : >"$file"
    for ((i = 1; i <= count; i++)); do
        status=0001
        ((i % every == 0)) && status=0009
        printf 'From - Mon Mar %02d 09:%02d:00 2026\nX-Mozilla-Status: %s\nX-Mozilla-Status2: 00000000\n' \
            $((i % 28 + 1)) $((i % 60)) "$status" >>"$file"
        printf 'Date: %s, %02d Mar 2026 09:%02d:00 +0100\nFrom: %s\nSubject: %s\nMessage-ID: <%d@example.org>\n\n' \
            Mon $((i % 28 + 1)) $((i % 60)) "${senders[i % ${#senders[@]}]}" "${subjects[i % ${#subjects[@]}]}" \
            "$i" >>"$file"
        printf 'Hello,\n\nthis is mail number %d.\n\n' "$i" >>"$file"
    done
    touch "$file.msf"
}
mail_folder "$folders/Inbox" 60 20
mail_folder "$folders/Trash" 40 2
mail_folder "$folders/Sent" 25 100
mail_folder "$folders/Drafts" 3 100

args=(--thunderbird "$tb" --folder "Mail/Local Folders"
      --window docs/mailmend-window.png --choose docs/mailmend-choose.png)
[ -n "$lang" ] && args+=("$lang")
# A fresh home: no settings or theme of the user's own.
HOME="$work/home/demo" XDG_CONFIG_HOME="$work/home/demo/.config" LANGUAGE= LC_ALL=C.UTF-8 \
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/mailmend-screenshots" "${args[@]}"
echo "docs/mailmend-window.png and docs/mailmend-choose.png written"
