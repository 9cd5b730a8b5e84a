#!/usr/bin/env bash
# Starts the real application in a virtual X server with an empty data folder: its window
# must appear and, once shown, boot the state, which installs the factory kits. A screenshot
# of the first page lands in OUTPUT_DIR for review. (The window tests drive every page.)
#   real_app_test.sh TAMBOREL SCREENSHOT_TOOL OUTPUT_DIR
set -euo pipefail

app=$1
shot=$2
out=$3

if [ -z "${TAMBOREL_IN_XVFB:-}" ]; then
  exec env TAMBOREL_IN_XVFB=1 "$(dirname "$0")/../support/with-xvfb" 1600x1000 "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tamborel-ui-XXXXXX")
pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  cat "$work/app.log" >&2 || true
  exit 1
}

mkdir -p "$work/data" "$work/config" "$work/runtime" "$out"
chmod 700 "$work/runtime"
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
# No sound card and no JACK server here: audio must fail quietly, not start a server.
export JACK_NO_START_SERVER=1

"$app" >"$work/app.log" 2>&1 &
pid=$!

timeout 30 xdotool search --sync --onlyvisible --name '^Tamborel$' >/dev/null 2>&1 \
  || fail "no window titled Tamborel appeared"
kits="$XDG_DATA_HOME/Tamborel/Kits"
for _ in $(seq 50); do
  [ -f "$kits/Classic Rock.json" ] && break
  sleep 0.2
done
[ -f "$kits/Classic Rock.json" ] || fail "the shown window did not boot: no factory kit installed"
sleep 1 # the kit's first frames
"$shot" "$out/real-app.png" || fail "screenshot failed"
kill -0 "$pid" 2>/dev/null || fail "the application quit"
