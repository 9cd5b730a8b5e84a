#!/usr/bin/env bash
# Runs scripts/install-deps against stand-ins for dpkg-query, apt-get, sudo and id, and checks
# what it installs (exactly the missing packages, whatever the order or flags), that apt-get
# reaches root and runs non-interactively, and that nothing runs when nothing is missing. The
# stand-ins come first on PATH, so nothing is ever installed.
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
# apt-get notes whether it runs as root and whether it could ask questions, then its command.
printf '#!/bin/sh\necho "apt-get $FAKE_UID ${DEBIAN_FRONTEND:-interactive} $*" >>"%s"\n' \
    "$log" >"$stubs/apt-get"
# sudo runs the command as root; without -E it drops the environment, as sudo does.
printf '#!/bin/sh\nexport FAKE_UID=0\n[ "$1" = -E ] && shift && exec "$@"\nexec env -u DEBIAN_FRONTEND "$@"\n' \
    >"$stubs/sudo"
printf '#!/bin/sh\necho "$FAKE_UID"\n' >"$stubs/id"
chmod +x "$stubs"/*

failures=0
fail() { echo "FAIL: uid $uid, missing '$missing': $*"; failures=$((failures + 1)); }
expect() { # uid, missing packages
    uid=$1 missing=$2
    rm -f "$log" && touch "$log"
    FAKE_UID=$uid MISSING=$missing PATH="$stubs:$PATH" "$script" >/dev/null 2>&1 ||
        fail "the script failed"
    if [ -z "$missing" ]; then
        [ -s "$log" ] && fail "apt-get ran: $(cat "$log")"
        return 0
    fi
    grep -qv '^apt-get 0 noninteractive ' "$log" && fail "apt-get not root or interactive: $(cat "$log")"
    # Without a yes, apt-get stops at its own question and the script hangs.
    grep ' install ' "$log" | grep -qE ' (-y|--yes|--assume-yes|-[a-z]*y[a-z]*) ' ||
        fail "install would ask: $(cat "$log")"
    # The packages named after "install", options left out, as a sorted set.
    local installed wanted
    installed=$(sed -n 's/.* install \(.*\)/\1/p' "$log" | tr ' ' '\n' | grep -v '^-' | sort -u)
    wanted=$(tr ' ' '\n' <<<"$missing" | sort -u)
    [ "$installed" = "$wanted" ] || fail "installed '$(echo $installed)'"
    # The package lists are read before anything is installed: a fresh system has none.
    [ "$(grep -o ' update\| install ' "$log" | tr -d ' ' | tr '\n' ' ')" = "update install " ] ||
        fail "not one update, then one install: $(cat "$log")"
}

expect 0 "sox xvfb"
expect 1000 "cmake"
expect 0 ""
expect 1000 ""
[ "$failures" -eq 0 ] && echo "install-deps: all cases pass"
exit "$failures"
