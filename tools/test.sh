#!/usr/bin/env bash
# Installs what building, running and testing need when it is missing, builds everything, and
# runs every test.
#   TESSALY_NO_WINDOWS_WINDOW=1 bash tools/test.sh
#       leaves the Windows window's tests out instead of building the Qt for Windows they need
#       first (30-45 minutes on two cores, once; tools/build_qt_windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh test
if [[ ${TESSALY_NO_WINDOWS_WINDOW:-} == 1 ]]; then
  echo "The Windows window's tests are left out (TESSALY_NO_WINDOWS_WINDOW=1): they need the Qt for Windows that tools/build_qt_windows.sh builds."
elif ! tools/build_qt_windows.sh --check >/dev/null; then
  tools/build_qt_windows.sh >/dev/null
fi
tools/build.sh
cd build
ctest --output-on-failure -j2
