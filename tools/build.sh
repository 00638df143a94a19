#!/usr/bin/env bash
# Configures and builds Tessaly into build/ (two parallel jobs: the machines have two cores).
#   tools/build.sh              everything the installed packages allow (tests and benchmarks
#                               only where GoogleTest and Google Benchmark are installed)
#   tools/build.sh TARGET...    only these targets, e.g. tessaly_window tessaly
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j2 --target "$@"
else
  cmake --build build -j2
fi
