#!/usr/bin/env bash
# Configures and builds into build/<type> (Release by default).
# QUILLMERE_SANITIZE=address|thread switches a sanitizer build on (build/sanitize-<kind>).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
type=${BUILD_TYPE:-Release}
sanitize=${QUILLMERE_SANITIZE:-}
dir="$root/build/${type,,}"
[ -n "$sanitize" ] && dir="$root/build/sanitize-$sanitize"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
  -DQUILLMERE_SANITIZE="$sanitize" -DQUILLMERE_WERROR="$werror" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
