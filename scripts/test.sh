#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the normal build,
# then the address+undefined and thread sanitizer builds of the model tests.
# QUILLMERE_QUICK=1 runs only the normal build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export ASAN_OPTIONS="detect_leaks=1"
jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}
if [ "${QUILLMERE_QUICK:-}" != "1" ]; then
  for kind in address thread; do
    dir=$(QUILLMERE_SANITIZE=$kind BUILD_TYPE=RelWithDebInfo "$root/scripts/build.sh" | tail -n 1)
    echo "== tests under the $kind sanitizer"
    run_suite "$dir" -L model
  done
fi
dir=$("$root/scripts/build.sh" | tail -n 1)
echo "== all tests"
run_suite "$dir"
