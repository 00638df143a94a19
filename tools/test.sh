#!/usr/bin/env bash
# Installs what building, running and testing need when it is missing, builds everything, and
# runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh test
tools/build.sh
cd build
ctest --output-on-failure -j2
