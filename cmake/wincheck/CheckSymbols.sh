#!/usr/bin/env bash
# Lists the project's own symbols that some Windows object uses and no Windows
# object defines: what the Windows link would report as undefined references.
# Usage: CheckSymbols.sh BUILD_FOLDER      (exit status 1 when there are any)
#
# Symbols of the libraries a Windows build links are not the project's:
# everything imported from a DLL (Qt, the system, gettext) is referenced as
# __imp_<name>; C functions (zlib, OpenSSL) are not mangled; the C++ runtime
# and GoogleTest live in their own namespaces, Qt names start with Q or q (the
# project names none so).
set -euo pipefail
build=${1:?usage: CheckSymbols.sh BUILD_FOLDER}
nm=${NM:-x86_64-w64-mingw32-nm}
cxxfilt=${CXXFILT:-x86_64-w64-mingw32-c++filt}

# The objects of the current sources (a folder built before may hold
# objects of files since removed).
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "$commands not found: configure with preset wincheck" >&2; exit 2; }
mapfile -t objects < <(sed -n 's/^ *"command": .* -o \([^ ]*\) -c .*/\1/p' "$commands" | sort -u |
                       while IFS= read -r o; do
                           case $o in /*) ;; *) o="$build/$o" ;; esac
                           [ -f "$o" ] && printf '%s\n' "$o"
                       done)
if [ ${#objects[@]} -eq 0 ]; then
    echo "no objects below $build" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One pass over the objects: "object<TAB>symbol" per use, and every definition.
"$nm" -g --format=posix "${objects[@]}" 2>/dev/null | awk -v used="$work/uses" -v defined="$work/defined.all" '
    /:$/ { object = substr($0, 1, length($0) - 1); next }
    NF >= 2 && $2 == "U" { print object "\t" $1 >used; next }
    NF >= 2 { print $1 >defined }'
touch "$work/uses" "$work/defined.all"
sort -u "$work/defined.all" >"$work/defined"
cut -f 2 "$work/uses" | sort -u >"$work/used"

comm -23 "$work/used" "$work/defined" | grep '^_Z' >"$work/missing" || true
: >"$work/own"
if [ -s "$work/missing" ]; then
    paste -d '\t' "$work/missing" <("$cxxfilt" <"$work/missing") \
        | awk -F '\t' '{
              name = $2
              sub(/^(vtable|typeinfo|typeinfo name|VTT|construction vtable|guard variable) for /, "", name)
              sub(/^((non-)?virtual|covariant return) thunk to /, "", name)
              if (name ~ /^(std|__gnu_cxx|__cxxabiv1|testing)::/) next
              # Qt: its classes and functions start with Q or q; the vtables
              # of classes derived from Qt classes name Qt virtuals directly.
              if (name ~ /^[Qq]/) next
              if (name ~ /^operator (new|delete)/) next
              # Type information of the built-in types is the runtime'"'"'s.
              if (name ~ /^(void|bool|char|wchar_t|char8_t|char16_t|char32_t|signed|unsigned|short|int|long|float|double|__int128|decltype)([ *&]|$)/) next
              print $1 "\t" $2
          }' >"$work/own"
fi

if [ -s "$work/own" ]; then
    echo "Symbols of this project used but defined in no Windows object:"
    while IFS=$'\t' read -r mangled symbol; do
        echo "  $symbol"
        awk -F '\t' -v s="$mangled" -v b="$build/" '$2 == s { sub("^" b, "", $1); print "      used in " $1 }' "$work/uses"
    done <"$work/own"
    exit 1
fi
echo "Windows objects: ${#objects[@]}; every symbol of this project they use is defined."
