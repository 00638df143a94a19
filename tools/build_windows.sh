#!/usr/bin/env bash
# Builds the Windows programs with the MinGW-w64 cross compiler: the command line tessaly.exe, the
# core and the Windows platform layer, and, where the Qt for Windows that tools/build_qt_windows.sh
# makes is there, the window Tessaly.exe and the programs that check it under Wine.
#   tools/build_windows.sh [FOLDER]    into FOLDER (build-windows when not given)
# Exits with 77 when the cross compiler is not installed (Debian g++-mingw-w64-x86-64-posix).
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build-windows}
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "skipped: x86_64-w64-mingw32-g++-posix is not installed (Debian g++-mingw-w64-x86-64-posix)"
  exit 77
fi
targets=(tessaly tessaly_core tessaly_platform windows_platform_check)
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
if qt=$(tools/build_qt_windows.sh --check 2>/dev/null); then
  # A folder configured before this Qt was there (or with another build of it) starts again, with
  # this Qt's own wrapper around the toolchain.
  if [[ -f $folder/CMakeCache.txt ]] && ! grep -q "^CMAKE_TOOLCHAIN_FILE.*=$qt/" "$folder/CMakeCache.txt"; then
    rm -rf "$folder"
  fi
  "$qt/bin/qt-cmake" -S . -B "$folder" "${options[@]}" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
  targets+=(tessaly_window second_start window_check)
else
  echo "The window is left out: no Qt for Windows yet (tools/build_qt_windows.sh builds one)."
  cmake -S . -B "$folder" "${options[@]}" --toolchain cmake/mingw-w64.cmake >/dev/null
fi
cmake --build "$folder" -j2 --target "${targets[@]}"
