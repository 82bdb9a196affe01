#!/bin/sh
# verify-units.sh SOCKET_UNIT SERVICE_UNIT SYSUSERS_CONF: the helper's units and group as
# systemd itself reads them. Any complaint fails; without the systemd tools the test is
# skipped (status 77).
command -v systemd-analyze >/dev/null 2>&1 || { echo "systemd-analyze is not installed"; exit 77; }
complaints=$(systemd-analyze verify --man=no "$1" "$2" 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$complaints" ]; then
    printf 'systemd-analyze verify (status %s):\n%s\n' "$status" "$complaints"
    exit 1
fi
if command -v systemd-sysusers >/dev/null 2>&1; then
    root=$(mktemp -d) || exit 1
    mkdir "$root/etc"
    made=$(systemd-sysusers --root="$root" --dry-run - <"$3" 2>&1)
    status=$?
    rm -rf "$root"
    case "$made" in
    *"Creating group 'quillmere'"*) ;;
    *) status=1 ;;
    esac
    if [ $status -ne 0 ]; then
        printf 'systemd-sysusers --dry-run:\n%s\n' "$made"
        exit 1
    fi
fi
echo "systemd-analyze verify: no complaints"
