#!/bin/sh
# A scripted systemctl: records its arguments, then prints and exits as FAKE_SYSTEMCTL_DIR's
# files say (word, stderr, status, sleep).
dir="$FAKE_SYSTEMCTL_DIR"
echo "$*" >> "$dir/calls"
echo $$ > "$dir/pid"
[ -f "$dir/sleep" ] && sleep "$(cat "$dir/sleep")"
[ -f "$dir/word" ] && cat "$dir/word"
[ -f "$dir/stderr" ] && cat "$dir/stderr" >&2
exit "$(cat "$dir/status" 2>/dev/null || echo 0)"
