#!/usr/bin/env bash
# Runs scripts/install-deps against stand-ins for dpkg-query, apt-get, sudo and id, and checks
# the commands it would run as root, as another user, and with nothing missing. The stand-ins
# come first on PATH, so nothing is ever installed.
set -euo pipefail
script=${1:?usage: install_deps_test.sh PATH/TO/install-deps}
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
log=$stubs/log

cat >"$stubs/dpkg-query" <<'STUB'
#!/bin/sh
for pkg; do :; done # the package is the last argument
for p in $MISSING; do [ "$p" = "$pkg" ] && exit 1; done
printf 'install ok installed'
STUB
printf '#!/bin/sh\necho "apt-get $*" >>"%s"\n' "$log" >"$stubs/apt-get"
printf '#!/bin/sh\necho "sudo $*" >>"%s"\n' "$log" >"$stubs/sudo"
printf '#!/bin/sh\necho "$FAKE_UID"\n' >"$stubs/id"
chmod +x "$stubs"/*

failures=0
expect() { # uid, missing packages, expected log
    rm -f "$log"
    if ! FAKE_UID=$1 MISSING=$2 PATH="$stubs:$PATH" "$script" >/dev/null 2>&1; then
        echo "FAIL: uid $1, missing '$2': the script failed"
        failures=$((failures + 1))
    fi
    local got
    got=$(cat "$log" 2>/dev/null || true)
    if [ "$got" != "$3" ]; then
        printf 'FAIL: uid %s, missing %s\n--- expected\n%s\n--- got\n%s\n' "$1" "'$2'" "$3" "$got"
        failures=$((failures + 1))
    fi
}

install="install -y -q --no-install-recommends"
expect 0 "sox xvfb" "apt-get update -q
apt-get $install xvfb sox"
expect 1000 "cmake" "sudo -E apt-get update -q
sudo -E apt-get $install cmake"
expect 0 "" ""
expect 1000 "" ""
[ "$failures" -eq 0 ] && echo "install-deps: all cases pass"
exit "$failures"
