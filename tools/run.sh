#!/usr/bin/env bash
# Installs what building and running needs when it is missing, builds the window and the command
# line, and starts Tessaly (arguments go to the program). tools/test.sh installs what the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh run
tools/build.sh tessaly_window tessaly
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display found (DISPLAY and WAYLAND_DISPLAY are unset)."
  echo "Tessaly is a desktop program; on a machine without a screen start it under a virtual display:"
  echo "    xvfb-run -a build/Tessaly $*"
  exit 1
fi
exec build/Tessaly "$@"
