#!/usr/bin/env bash
# Builds a static Qt 6 (qtbase only) for x86_64-w64-mingw32 once, from Debian's own qt6-base
# source package with Debian's patches, into a cache outside the source tree:
#   tools/build_qt_windows.sh            prints the installed prefix; builds it first when missing
#   tools/build_qt_windows.sh --check    prints the prefix when it is there, or fails at once
#   TESSALY_QT_WINDOWS=DIR               another prefix
# Takes 30 to 45 minutes on two cores and about 114 MB installed. The build runs at the lowest
# priority, so that it can go on while other work uses the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=6.4.2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tessaly
# The build's revision: a new one when the flags change (cmake/mingw-w64.cmake), so that an older
# build in the cache is not taken for this one.
revision=2
prefix=${TESSALY_QT_WINDOWS:-$cache/qt$version-mingw-static-r$revision}
if [[ -x $prefix/bin/qt-cmake && -f $prefix/.complete ]]; then
  echo "$prefix"
  exit 0
fi
[[ ${1:-} != --check ]] || exit 1

sudo_() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }
say() { echo "build_qt_windows: $*" >&2; }

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
command -v ninja >/dev/null || need+=(ninja-build)
[[ -x /usr/lib/qt6/libexec/moc ]] || need+=(qt6-base-dev-tools qt6-base-dev)
if ((${#need[@]})); then
  sudo_ apt-get update -qq
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

work=$cache/qt$version-mingw-work
mkdir -p "$work"
src=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$version*" | head -n1)
if [[ -z $src ]]; then
  # Debian's source entries, beside the binary ones, only for this one download.
  list=/etc/apt/sources.list.d/tessaly-deb-src.sources
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    say "adding Debian's source entries ($list)"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
      sudo_ tee "$list" >/dev/null
    sudo_ apt-get update -qq
  fi
  say "fetching qt6-base $version from Debian"
  debian_version=$(apt-cache showsrc qt6-base | awk -v v="$version" '$1 == "Version:" && index($2, v) == 1 { print $2; exit }')
  [[ -n $debian_version ]] || { say "Debian offers no qt6-base $version source"; exit 1; }
  (cd "$work" && apt-get source -qq "qt6-base=$debian_version" >/dev/null)
  src=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$version*" | head -n1)
fi

say "building Qt $version for Windows in $work/build (30-45 minutes)"
started=$SECONDS
rm -rf "$work/build"
nice -n 19 cmake -S "$src" -B "$work/build" -G Ninja \
  --toolchain "$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_static_runtime=ON -DFEATURE_optimize_size=ON \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dbus=OFF -DFEATURE_sql=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_ssl=OFF -DFEATURE_openssl=OFF -DFEATURE_schannel=OFF -DFEATURE_icu=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_pkg_config=OFF -DFEATURE_system_zlib=OFF \
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_directwrite3=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_androiddeployqt=OFF -DFEATURE_testlib=ON -DFEATURE_concurrent=OFF \
  -DFEATURE_xml=OFF -DFEATURE_sql=OFF >"$work/configure.log" 2>&1 ||
  { say "configure failed, see $work/configure.log"; tail -n 30 "$work/configure.log" >&2; exit 1; }
nice -n 19 cmake --build "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1 ||
  { say "build failed, see $work/build.log"; tail -n 30 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1
touch "$prefix/.complete"
say "done in $(((SECONDS - started) / 60)) min, $(du -sh "$prefix" | cut -f1) installed"
echo "$prefix"
