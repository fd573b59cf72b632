#!/usr/bin/env bash
# Starts Morvane on the current X desktop. Without a desktop (no DISPLAY) it
# plays the screenshot tour on a virtual display instead, so that a machine with
# no screen still shows what Morvane does.
set -euo pipefail
bin=${1:-build/morvane}
if [ -z "${DISPLAY:-}" ]; then
  echo "No X display (DISPLAY is not set): playing the tour on a virtual display instead."
  exec bash "$(dirname "$0")/tour.sh" "$bin"
fi
exec "$bin"
