#!/usr/bin/env bash
# Makes the Windows package, a zip that runs where it is unpacked (the settings go beside the
# program when that folder can be written):
#   tools/package_windows.sh [FOLDER]    from the Windows build in FOLDER (build-windows), into
#                                        FOLDER/Tessaly-VERSION-windows-x64.zip
# Tessaly.exe (the window), tessaly.exe (the command line), Tessaly.html (the help) and the README.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build-windows}
tools/build_windows.sh "$folder"
[[ -f $folder/Tessaly.exe ]] || { echo "no Tessaly.exe: the window needs the Qt for Windows (tools/build_qt_windows.sh)" >&2; exit 1; }
version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Tessaly-$version-windows-x64
stage=$folder/$name
rm -rf "$stage" "$folder/$name.zip"
mkdir -p "$stage"
for exe in Tessaly.exe tessaly.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$exe" "$folder/$exe"
done
cp resources/help.html "$stage/Tessaly.html"
cp README.md "$stage/README.md"
(cd "$folder" && cmake -E tar cf "$name.zip" --format=zip "$name")
rm -rf "$stage"
ls -l "$folder/$name.zip"
