#!/usr/bin/env bash
# Start-up time and memory of the real application, in a virtual X server with a JACK
# dummy server so that the engine can start:
#   bench/startup.sh [BUILD_DIR] [RUNS]
# Start-up is measured from launch until the main window is shown AND the engine's JACK
# client is up; memory is the resident set once the factory kit's samples are loaded, in
# full and without the JACK server's shared memory, which the client maps but the server
# owns (about 100 MiB with the dummy driver).
# The first run starts from an empty data folder (it installs the factory kits); later
# runs reuse it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
runs=${2:-5}
app=$(realpath "$build/bin/tamborel")

if [ -z "${TAMBOREL_IN_XVFB:-}" ]; then
  exec env TAMBOREL_IN_XVFB=1 tests/support/with-xvfb 1600x1000 \
    "$0" "$build" "$runs"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tamborel-bench-XXXXXX")
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
export JACK_DEFAULT_SERVER="tamborel-bench-$$" JACK_NO_START_SERVER=1

jackd --no-realtime -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack_pid=$!
jack_wait -w -t 10 >/dev/null || { cat "$work/jackd.log"; echo "jackd did not start" >&2; exit 1; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

echo "run  start-up(ms)  resident(MiB)  without JACK shm(MiB)"
for run in $(seq 1 "$runs"); do
  t0=$(now_ms)
  "$app" >"$work/app-$run.log" 2>&1 &
  app_pid=$!
  shown=""
  while :; do
    if [ -z "$shown" ] && xdotool search --onlyvisible --name '^Tamborel$' >/dev/null 2>&1; then
      shown=1
    fi
    if [ -n "$shown" ] && jack_lsp 2>/dev/null | grep -q '^Tamborel:'; then
      break
    fi
    if [ $(($(now_ms) - t0)) -gt 30000 ]; then
      echo "run $run: no window with a running engine after 30 s" >&2
      cat "$work/app-$run.log" >&2
      exit 1
    fi
    sleep 0.02
  done
  t1=$(now_ms)
  sleep 2 # samples load during boot; let the first frames settle
  rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$app_pid/status")
  jack_kb=$(awk '/^[0-9a-f]/ { jack = ($6 ~ /^\/dev\/shm\/jack/) } jack && /^Rss:/ { kb += $2 }
                 END { print kb + 0 }' "/proc/$app_pid/smaps")
  awk -v run="$run" -v ms=$((t1 - t0)) -v kb="$rss_kb" -v jack="$jack_kb" \
    'BEGIN { printf "%3d  %12d  %13.1f  %21.1f\n", run, ms, kb / 1024, (kb - jack) / 1024 }'
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
done
