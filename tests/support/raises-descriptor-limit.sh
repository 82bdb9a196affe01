#!/bin/sh
# Starts PROGRAM [ARGS...] with its soft limit on open descriptors lowered to 64 and checks
# that the program raises it to the hard limit by itself. The program is killed afterwards.
set -u
hard=$(ulimit -Hn)
if [ "$hard" != unlimited ] && [ "$hard" -le 64 ]; then
    echo "the hard limit ($hard) leaves nothing to raise"
    exit 0
fi
ulimit -Sn 64
"$@" >/dev/null 2>&1 &
pid=$!
result=1
tries=0
# Until the program has raised it, or has ended; bounded for a program that never does.
while [ $tries -lt 1500 ]; do
    soft=$(awk '/^Max open files/ { print $4 }' "/proc/$pid/limits" 2>/dev/null)
    if [ "$soft" = "$hard" ]; then
        result=0
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
    tries=$((tries + 1))
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ $result -eq 0 ] || echo "the soft limit stayed at ${soft:-?} (hard limit $hard)"
exit $result
