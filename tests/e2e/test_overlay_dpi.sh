#!/usr/bin/env bash
# The overlay at 120 dpi (12 twips per pixel) with a fractional toolkit scale:
# surfaces stay in device pixels and strokes still land under the pointer.
MORVANE_ENV=QT_SCALE_FACTOR=1.5 exec bash "$(dirname "$0")/test_overlay.sh" 1280x800 120
