#!/bin/sh
# check-install.sh BUILD PREFIX FILE_LIST: `cmake --install` into a scratch DESTDIR puts
# exactly the listed files under PREFIX, the installed files name installed paths, the
# desktop entry and metadata pass their validators, and each icon is drawn at its folder's size.
set -u
build=$1 prefix=$2 list=$3
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR="$scratch/root" "${CMAKE:-cmake}" --install "$build" >"$scratch/log" 2>&1; then
    cat "$scratch/log"
    echo "FAIL: cmake --install"
    exit 1
fi
root="$scratch/root$prefix"
(cd "$root" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort >"$scratch/found"
LC_ALL=C sort "$list" | diff -u - "$scratch/found" >"$scratch/diff" || fail "installed files differ from the list:
$(cat "$scratch/diff")"

for program in bin/quillmere libexec/quillmere/quillmere-helper; do
    [ -x "$root/$program" ] || fail "$program is not executable"
done

id=com.quillmere.app
entry="$root/share/applications/$id.desktop"
metainfo="$root/share/metainfo/$id.metainfo.xml"
value() { sed -n "s/^$2=//p" "$1"; }
[ "$(value "$root/lib/systemd/system/quillmere-helper.service" ExecStart)" = "$prefix/libexec/quillmere/quillmere-helper" ] ||
    fail "the service does not start the installed helper"
[ "$(value "$entry" Exec)" = "$prefix/bin/quillmere" ] || fail "the entry does not run the installed program"
[ "$(value "$entry" Icon)" = "$id" ] || fail "the entry's icon is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not launch the installed entry"
grep -q "<id>$id</id>" "$metainfo" || fail "the metadata's id is not $id"

# Hints (such as two main categories, which is what a disk-usage analyzer lists) are allowed.
if command -v desktop-file-validate >/dev/null 2>&1; then
    out=$(desktop-file-validate "$entry" 2>&1)
    status=$?
    if [ $status -ne 0 ] || printf '%s\n' "$out" | grep -qE ': (error|warning):'; then
        fail "desktop-file-validate (status $status):
$out"
    fi
else
    fail "desktop-file-validate is not installed (Debian: desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || fail "appstreamcli validate:
$out"
else
    fail "appstreamcli is not installed (Debian: appstream)"
fi

for png in "$root"/share/icons/hicolor/*x*/apps/$id.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    side=${folder%%x*}
    file -b "$png" | grep -q "^PNG image data, $side x $side," || fail "$folder icon is $(file -b "$png")"
done

[ $failures -eq 0 ] || exit 1
echo "installed $(wc -l <"$scratch/found") files under $prefix"
