#!/usr/bin/env bash
# How much of a core the real window takes while it rests and while a groove plays, in a
# virtual X server with software OpenGL and a JACK dummy server:
#   bench/window-cpu.sh [APP] [SECONDS]
# Each figure is the application's user+system CPU time over SECONDS of wall time, as a
# percentage of one core: before the first strike, idle on the pads page with the hero card
# turning (after one strike), idle on the mixer page, and during a groove of clicks on the
# kick and closed hi-hat cards (8 a second, drum and cymbal alternating) on the pads page.
# The clicks land where the cards sit at the default window size.
set -euo pipefail
cd "$(dirname "$0")/.."

app=$(realpath "${1:-build/bin/tamborel}")
seconds=${2:-10}

if [ -z "${TAMBOREL_IN_XVFB:-}" ]; then
  exec env TAMBOREL_IN_XVFB=1 LIBGL_ALWAYS_SOFTWARE=1 tests/support/with-xvfb 1600x1000 \
    "$0" "$app" "$seconds"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tamborel-cpu-XXXXXX")
jack_pid=""
app_pid=""
cleanup() {
  for p in $app_pid $jack_pid; do
    if kill -0 "$p" 2>/dev/null; then
      kill "$p" 2>/dev/null || true
      wait "$p" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export JACK_DEFAULT_SERVER="tamborel-cpu-$$" JACK_NO_START_SERVER=1
jackd --no-realtime -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack_pid=$!
jack_wait -w -t 10 >/dev/null || { cat "$work/jackd.log"; echo "jackd did not start" >&2; exit 1; }

"$app" >"$work/app.log" 2>&1 &
app_pid=$!
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name '^Tamborel$' 2>/dev/null | head -1) && break
  sleep 0.2
done
[ -n "${window:-}" ] || { cat "$work/app.log"; echo "no window" >&2; exit 1; }
sleep 4 # the kit's samples load and the later pages build

ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
hz=$(getconf CLK_TCK)
measure() {
  local t0 t1
  t0=$(ticks)
  sleep "$seconds"
  t1=$(ticks)
  echo "$1: $(((t1 - t0) * 100 / (hz * seconds)))% of a core"
}
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

# Where the cards and tabs are at the default size (window coordinates).
kick=(146 300)
hat=(1212 300)
mixer_tab=(615 102)
pads_tab=(524 102)

measure "idle before the first strike"
click "${kick[@]}"
sleep 1
measure "idle on the pads page, hero turning"
click "${mixer_tab[@]}"
sleep 2
measure "idle on the mixer page"
click "${pads_tab[@]}"
sleep 2
( end=$((SECONDS + seconds + 2)); n=0
  while [ $SECONDS -lt $end ]; do
    if [ $((n % 2)) -eq 0 ]; then click "${kick[@]}"; else click "${hat[@]}"; fi
    n=$((n + 1)); sleep 0.125
  done ) &
groove=$!
sleep 1
measure "groove on the pads page"
wait $groove
