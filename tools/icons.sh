#!/bin/bash
# Renders the program's icon (resources/icons/tessaly.svg) into the icon theme's fixed sizes, which
# are kept in the tree beside it: resources/icons/hicolor/NxN/apps/tessaly.png.
# Needs rsvg-convert (Debian librsvg2-bin); run it again after changing the picture.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
icons=$here/resources/icons
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$icons/tessaly.svg" -o "$icons/hicolor/${size}x${size}/apps/tessaly.png"
done
