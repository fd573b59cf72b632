#!/usr/bin/env bash
# Starts Morvane on the current X desktop.
set -euo pipefail
bin=${1:-build/morvane}
if [ -z "${DISPLAY:-}" ]; then
  echo "morvane: no X display (DISPLAY is not set); start it from a desktop session." >&2
  exit 1
fi
exec "$bin"
