#!/usr/bin/env bash
# Configures and builds into build/<type> (Release by default); prints the build folder.
# QUILLMERE_SANITIZE=address|thread switches a sanitizer build on (build/sanitize-<kind>).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
type=${BUILD_TYPE:-Release}
sanitize=${QUILLMERE_SANITIZE:-}
dir="$root/build/${type,,}"
[ -n "$sanitize" ] && dir="$root/build/sanitize-$sanitize"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
# The build's own output goes to standard error, so callers can take the folder from
# standard output and still show why a build failed.
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
  -DQUILLMERE_SANITIZE="$sanitize" -DQUILLMERE_WERROR="$werror" >&2
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
