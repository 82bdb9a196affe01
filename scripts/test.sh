#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite under the
# address+undefined sanitizers (the windowed tests on the offscreen platform), the model tests
# under the thread sanitizer, then the whole suite in the normal build.
# QUILLMERE_QUICK=1 runs only the normal build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1"
jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}
if [ "${QUILLMERE_QUICK:-}" != "1" ]; then
  dir=$(QUILLMERE_SANITIZE=address BUILD_TYPE=RelWithDebInfo "$root/scripts/build.sh" | tail -n 1)
  echo "== all tests under the address and undefined-behaviour sanitizers"
  run_suite "$dir"
  # Qt's own libraries are not instrumented for threads: that build tests the model alone.
  dir=$(QUILLMERE_SANITIZE=thread BUILD_TYPE=RelWithDebInfo "$root/scripts/build.sh" | tail -n 1)
  echo "== model tests under the thread sanitizer"
  run_suite "$dir" -L model
fi
dir=$("$root/scripts/build.sh" | tail -n 1)
echo "== all tests"
run_suite "$dir"
