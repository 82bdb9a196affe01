#!/usr/bin/env bash
# Launch to finished map, Quillmere's window against Filelight's, on one folder.
#
#   bench/launch-race.sh TREE [RUNS]      (on a display: e.g. under xvfb-run -a)
#
# Each program is started with TREE and timed from its start until the last moment it used
# the processor before 1.5 s of quiet: the walk, the map's layout and its first paint are
# then done. Both are measured the same way, from outside, by sampling the processor time of
# all the process's threads every 10 ms (/proc/PID/stat). Quillmere's side is
# build/release/bench/window-bench --scan-only: the real main window, given TREE as its one
# volume, scanning as the window does. It also says when its finished map is first drawn,
# which the race prints beside its time. Runs alternate, after one warm-up run of each; the
# medians are printed with each program's peak resident memory.
set -euo pipefail
tree=${1:?usage: launch-race.sh TREE [RUNS]}
runs=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
quillmere=("$root/build/release/bench/window-bench" "$tree" --scan-only)
filelight=(filelight "$tree")
command -v filelight >/dev/null || { echo "launch-race: filelight is not installed (apt-get install filelight)" >&2; exit 2; }
[ -x "${quillmere[0]}" ] || { echo "launch-race: build first (scripts/build.sh)" >&2; exit 2; }

ticks=$(getconf CLK_TCK)

# Prints "SECONDS PEAK_KIB" for one run of the command given. The watching loop forks nothing
# (bash's own clock, reads and timed waits), so the watcher takes no processor from the program
# it watches; a program that keeps every processor busy would otherwise be slowed by it.
exec {pause}<> <(:)
said=$(mktemp)
trap 'rm -f "$said"' EXIT
race() {
    local start now pid cpu last_cpu last_change peak status key value unit drawn
    start=${EPOCHREALTIME/./}
    "$@" >"$said" 2>/dev/null &
    pid=$!
    last_cpu=-1
    last_change=$start
    peak=0
    while kill -0 "$pid" 2>/dev/null; do
        now=${EPOCHREALTIME/./}
        if read -r -a status < "/proc/$pid/stat" 2>/dev/null; then
            # utime and stime follow the parenthesised name; names here hold no spaces.
            cpu=$((status[13] + status[14]))
            if [ "$cpu" != "$last_cpu" ]; then
                last_cpu=$cpu
                last_change=$now
            fi
        fi
        if ((now - last_change > 1500000)); then break; fi
        read -r -t 0.01 -u "$pause" || true
    done
    # The high-water mark of the process's resident memory, read before it is ended.
    while read -r key value unit; do
        [ "$key" = "VmHWM:" ] && peak=$value
    done < "/proc/$pid/status" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # Quillmere's side says when its finished map was first drawn; Filelight's says nothing.
    drawn=-1
    while read -r key value unit; do
        [ "$key $value" = "map drawn" ] && drawn=$unit
    done < "$said"
    # The last tick seen may have been spent up to one tick before it was sampled.
    awk -v a="$last_change" -v s="$start" -v p="$peak" -v d="$drawn" \
        'BEGIN { printf "%.3f %d %.3f\n", (a - s) / 1e6, p, d < 0 ? -1 : (d - s) / 1e6 }'
}

median() { sort -n | awk '{v[NR] = $1} END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

race "${quillmere[@]}" >/dev/null
race "${filelight[@]}" >/dev/null
q_times=() q_peaks=() q_drawn=() f_times=() f_peaks=()
for ((i = 0; i < runs; i++)); do
    read -r t p d < <(race "${quillmere[@]}"); q_times+=("$t"); q_peaks+=("$p"); q_drawn+=("$d")
    read -r t p d < <(race "${filelight[@]}"); f_times+=("$t"); f_peaks+=("$p")
done
q=$(printf '%s\n' "${q_times[@]}" | median)
qd=$(printf '%s\n' "${q_drawn[@]}" | median)
f=$(printf '%s\n' "${f_times[@]}" | median)
qm=$(printf '%s\n' "${q_peaks[@]}" | median)
fm=$(printf '%s\n' "${f_peaks[@]}" | median)
echo "tree $tree, $runs runs each, load $(cut -d' ' -f1-3 /proc/loadavg), clock tick $((1000 / ticks)) ms"
echo "quillmere runs: ${q_times[*]}"
echo "quillmere map first drawn: ${q_drawn[*]}"
echo "filelight runs: ${f_times[*]}"
awk -v q="$q" -v qd="$qd" -v f="$f" -v qm="$qm" -v fm="$fm" 'BEGIN {
    printf "Quillmere  launch to finished map %6.2f s  peak %5.0f MiB\n", q, qm / 1024
    if (qd >= 0) printf "           (its finished map first drawn at %.2f s, %.2fx Filelight'"'"'s time)\n", qd, qd / f
    printf "Filelight  launch to finished map %6.2f s  peak %5.0f MiB\n", f, fm / 1024
    printf "Quillmere / Filelight: %.2fx the time, %.2fx the memory  [target: time <= 0.40x]\n", q / f, qm / fm
}'
