#!/bin/bash
# Makes the Debian package and checks it with lintian:
#     tools/package.sh [BUILD_FOLDER]        (default: build-deb) -> BUILD_FOLDER/tessaly_VERSION-1_ARCH.deb
# The package is built in a folder of its own, without tests, with Debian's compiler and linker flags
# (dpkg-buildflags: optimisation, debug data stripped later, and the hardening flags), and made by
# CPack from the project's install rules. Needs dpkg-dev (dpkg-shlibdeps) and, for the check, lintian.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh" package
build=${1:-$here/build-deb}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Build type None: the flags are dpkg-buildflags' alone, as Debian's own CMake packages are built.
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DTESSALY_BUILD_TESTS=OFF -DTESSALY_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$build" -j2
rm -f "$build"/tessaly_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/tessaly_*.deb)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
if command -v lintian >/dev/null; then
  # Errors and warnings fail; information tags are shown too.
  lintian --info --display-info --fail-on error,warning "$deb"
else
  echo "lintian is not installed (Debian package lintian): the package was not checked" >&2
fi
