#!/bin/sh
# check-maintainer-scripts.sh DEBIAN_DIR: what the package's scripts ask of the system, run
# against stand-ins for systemd-sysusers, systemctl, getent and groupadd that record each call.
# Installing creates the group and turns nothing on; removing turns the helper off so no link
# to a removed unit stays; upgrading leaves the helper as it was.
set -u
scripts=$1
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# stub NAME STATUS: a command that records its arguments and exits with STATUS.
stub() {
    printf '#!/bin/sh\necho "%s $*" >>"%s"\nexit %s\n' "$1" "$scratch/calls" "$2" >"$scratch/bin/$1"
    chmod 755 "$scratch/bin/$1"
}
# run SCRIPT ARGUMENT...: runs a maintainer script with only the stand-ins on the PATH.
run() {
    script=$1
    shift
    : >"$scratch/calls"
    PATH="$scratch/bin" /bin/sh "$scripts/$script" "$@" >/dev/null 2>&1
    status=$?
    calls=$(cat "$scratch/calls")
}
reset() {
    rm -rf "$scratch/bin"
    mkdir "$scratch/bin"
}
turnsNothingOn() {
    case "$calls" in *enable* | *start* | *restart*) fail "$1 turned something on: $calls" ;; esac
}

reset
stub systemd-sysusers 0
stub systemctl 0
run postinst configure
[ $status -eq 0 ] || fail "postinst configure exited with $status"
printf '%s\n' "$calls" | grep -qx "systemd-sysusers quillmere.conf" || fail "postinst did not create the group: $calls"
turnsNothingOn "postinst configure"

# Without systemd-sysusers the group is made by hand, once.
reset
stub getent 2
stub groupadd 0
run postinst configure
[ "$calls" = "$(printf 'getent group quillmere\ngroupadd --system quillmere')" ] ||
    fail "postinst without systemd-sysusers: $calls"
stub getent 0
run postinst configure
[ "$calls" = "getent group quillmere" ] || fail "postinst made an existing group again: $calls"

reset
stub systemctl 0
run prerm remove
printf '%s\n' "$calls" | grep -qE "^systemctl disable (--now )?quillmere-helper.socket quillmere-helper.service$" ||
    fail "prerm remove did not turn the helper off: $calls"
run prerm upgrade 0.1.0
[ -z "$calls" ] || fail "prerm upgrade touched the helper: $calls"
# A helper that will not stop must not keep the package from going.
stub systemctl 1
run prerm remove
[ $status -eq 0 ] || fail "prerm remove failed with systemctl failing"

stub systemctl 0
for argument in remove purge upgrade; do
    run postrm $argument
    [ $status -eq 0 ] || fail "postrm $argument exited with $status"
    turnsNothingOn "postrm $argument"
    case "$calls" in *groupdel* | *disable*) fail "postrm $argument: $calls" ;; esac
done

[ $failures -eq 0 ] || exit 1
echo "maintainer scripts: group created, nothing turned on, helper turned off on removal"
