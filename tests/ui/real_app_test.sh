#!/usr/bin/env bash
# Starts the real application in a virtual X server with an empty data folder, waits for
# its window, swipes through the four pages saving a screenshot of each, and checks that
# the first start installed the factory kits.
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
  echo "--- application output ---" >&2
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

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tamborel$' 2>/dev/null | head -n1) \
  || fail "no window titled Tamborel appeared"
[ -n "$window" ] || fail "no window titled Tamborel appeared"
sleep 2 # first frames, boot and the factory kits' samples

eval "$(xdotool getwindowgeometry --shell "$window")"
cx=$((X + WIDTH / 2))
cy=$((Y + HEIGHT * 2 / 3))

pages=(pads mixer mapping settings)
for i in "${!pages[@]}"; do
  if [ "$i" -gt 0 ]; then
    # A quick flick to the left: next page.
    xdotool mousemove "$cx" "$cy" mousedown 1 \
      mousemove $((cx - 60)) "$cy" sleep 0.02 mousemove $((cx - 160)) "$cy" sleep 0.02 \
      mousemove $((cx - 280)) "$cy" sleep 0.02 mousemove $((cx - 400)) "$cy" sleep 0.02 \
      mouseup 1
    sleep 1.5
  fi
  "$shot" "$out/$((i + 1))-${pages[$i]}.png" || fail "screenshot of ${pages[$i]} failed"
done

kill -0 "$pid" 2>/dev/null || fail "the application quit"

distinct=$(for f in "$out"/[1-4]-*.png; do md5sum <"$f"; done | sort -u | wc -l)
[ "$distinct" -eq 4 ] || fail "swiping did not show four different pages ($distinct distinct)"

kits="$XDG_DATA_HOME/Tamborel/Kits"
[ -f "$kits/Classic Rock.json" ] || fail "the factory kit Classic Rock was not installed"
count=$(find "$kits" -maxdepth 1 -name '*.json' | wc -l)
[ "$count" -ge 4 ] || fail "expected four factory kits, found $count"

echo "screenshots in $out"
