#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillmere. Arguments go to the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
dir=$("$root/scripts/build.sh" | tail -n 1)
exec "$dir/src/quillmere" "$@"
