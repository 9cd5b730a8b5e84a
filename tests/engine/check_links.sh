#!/usr/bin/env bash
# Fails when any of the given binaries needs a toolkit or device library: the engine and the
# hosts that need no device must stay free of them.
set -euo pipefail
status=0
for binary in "$@"; do
  needed=$(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  if bad=$(grep -E '^lib(Qt|jack|asound|portaudio|pipewire)' <<<"$needed"); then
    echo "$(basename "$binary") links $(tr '\n' ' ' <<<"$bad")"
    status=1
  fi
done
exit $status
