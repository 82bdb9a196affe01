#!/bin/sh
# check-package.sh BUILD PREFIX FILE_LIST: `cpack -G DEB` builds a package holding exactly the
# listed files under PREFIX, with the libraries found from the binaries, the run-time packages
# named, and the maintainer scripts. Skipped (status 77) without the Debian packaging tools.
set -u
build=$1 prefix=$2 list=$3
cpack=${CPACK:-cpack}
for tool in dpkg-deb dpkg-shlibdeps "$cpack"; do
    command -v $tool >/dev/null 2>&1 || { echo "$tool is not installed (Debian: dpkg-dev)"; exit 77; }
done
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/log" 2>&1; then
    cat "$scratch/log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
set -- "$scratch"/out/quillmere_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "FAIL: no quillmere_*.deb from cpack"; exit 1; }
deb=$1

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed "s|^\.$prefix/||" | LC_ALL=C sort >"$scratch/held"
LC_ALL=C sort "$list" | diff -u - "$scratch/held" >"$scratch/diff" || fail "packaged files differ from the list:
$(cat "$scratch/diff")"

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libtbb12 libc6 fonts-inter fonts-material-design-icons-iconfont libqt6svg6 \
    qt6-image-formats-plugins; do
    printf '%s\n' "$depends" | tr ',' '\n' | grep -qE "^ *$package( |$)" || fail "Depends lacks $package: $depends"
done

dpkg-deb -e "$deb" "$scratch/control"
for script in postinst prerm postrm; do
    [ -x "$scratch/control/$script" ] || fail "the package has no executable $script"
done

[ $failures -eq 0 ] || exit 1
echo "$(basename "$deb"): $(wc -l <"$scratch/held") files, Depends: $depends"
