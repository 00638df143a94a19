#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tessaly (arguments go to the program).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display found (DISPLAY and WAYLAND_DISPLAY are unset)."
  echo "Tessaly is a desktop program; on a machine without a screen start it under a virtual display:"
  echo "    xvfb-run -a build/Tessaly $*"
  exit 1
fi
exec build/Tessaly "$@"
