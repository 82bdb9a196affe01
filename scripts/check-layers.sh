#!/usr/bin/env bash
# Fails when a source file includes a folder on its own floor or above it. Each folder of src/
# has a floor; a file may include its own folder and any folder on a lower floor. The shell's
# folders (app, app/state, app/access) share the top floor and may include one another.
# Usage: check-layers.sh [SRC_DIR]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}
declare -A floor=(
  [platform]=0 [base]=1 [scan]=2
  [access]=3 [views]=3 [systemdata]=3
  [access/helper]=4 [applications/model]=4
  [reclaim]=5
  [ui]=6
  [views/widgets]=7 [systemdata/view]=7 [applications/state]=7
  [applications/view]=8
  [reclaim/view]=9
  [app]=10 [app/state]=10 [app/access]=10
)
shell_floor=10
# The folder a path names (in $folder): its longest prefix that has a floor, or nothing. Pure
# string work: a fork per include made this check take tens of seconds on a busy machine.
folder_of() {
  local dir=$1
  folder=
  while [ -n "$dir" ] && [ "$dir" != "." ]; do
    if [ -n "${floor[$dir]+x}" ]; then folder=$dir; return; fi
    [ "${dir%/*}" = "$dir" ] && return
    dir=${dir%/*}
  done
}
status=0
# Every file once, so one whose folder has no floor is named even when it includes nothing.
while IFS= read -r file; do
  rel=${file#"$src"/}
  [ "$rel" = "main.cpp" ] && continue
  folder_of "${rel%/*}"
  if [ -z "$folder" ]; then
    echo "$rel: its folder has no floor (add it to scripts/check-layers.sh)"
    status=1
  fi
done < <(find "$src" -name '*.cpp' -o -name '*.hpp')
while IFS= read -r line; do
  file=${line%%:*}
  rel=${file#"$src"/}
  [ "$rel" = "main.cpp" ] && continue
  folder_of "${rel%/*}"
  from=$folder
  [ -z "$from" ] && continue
  included=${line#*:}
  included=${included#*\"}
  included=${included%%\"*}
  [ "${included%/*}" = "$included" ] && continue
  folder_of "${included%/*}"
  to=$folder
  [ -z "$to" ] && continue
  [ "$to" = "$from" ] && continue
  if [ "${floor[$to]}" -lt "${floor[$from]}" ]; then continue; fi
  if [ "${floor[$to]}" -eq "$shell_floor" ] && [ "${floor[$from]}" -eq "$shell_floor" ]; then continue; fi
  echo "$rel includes $included: $to is not below $from"
  status=1
done < <(grep -rH --include='*.cpp' --include='*.hpp' '^#include "' "$src" | sort)
if [ $status -eq 0 ]; then echo "every include reaches down"; fi
exit $status
