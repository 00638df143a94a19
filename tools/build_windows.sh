#!/usr/bin/env bash
# Builds the Windows command line tessaly.exe, the core and the Windows platform layer with the
# MinGW-w64 cross compiler.
#   tools/build_windows.sh [FOLDER]    into FOLDER (build-windows when not given)
# Exits with 77 when the cross compiler is not installed (Debian g++-mingw-w64-x86-64-posix).
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build-windows}
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "skipped: x86_64-w64-mingw32-g++-posix is not installed (Debian g++-mingw-w64-x86-64-posix)"
  exit 77
fi
cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" --toolchain cmake/mingw-w64.cmake >/dev/null
cmake --build "$folder" -j2 --target tessaly tessaly_core tessaly_platform windows_platform_check
