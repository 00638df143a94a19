#!/usr/bin/env bash
# Makes the Windows package, a zip that runs where it is unpacked (the settings go beside the
# program when that folder can be written):
#   tools/package_windows.sh [FOLDER]    from the Windows build in FOLDER (build-windows), into
#                                        FOLDER/Tessaly-VERSION-windows-x64.zip
# Tessaly.exe (the window), tessaly.com (the command line), Tessaly.html (the help) and the README.
# With Debian's nsis installed, also an installer of the same files, FOLDER/Tessaly-VERSION-windows-x64-installer.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$(realpath -m "${1:-build-windows}")
tools/build_windows.sh "$folder"
[[ -f $folder/Tessaly.exe ]] || { echo "no Tessaly.exe: the window needs the Qt for Windows (tools/build_qt_windows.sh)" >&2; exit 1; }
version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Tessaly-$version-windows-x64
stage=$folder/$name
rm -rf "$stage" "$folder/$name.zip"
mkdir -p "$stage"
# Windows does not tell Tessaly.exe from tessaly.exe, so the command line goes as tessaly.com: the
# console, which tries .COM before .EXE, runs it for "tessaly", and a double-click on Tessaly.exe
# opens the window. (A .com file that holds a Windows program runs as one.)
x86_64-w64-mingw32-strip -o "$stage/Tessaly.exe" "$folder/Tessaly.exe"
x86_64-w64-mingw32-strip -o "$stage/tessaly.com" "$folder/tessaly.exe"
cp resources/help.html "$stage/Tessaly.html"
cp README.md "$stage/README.md"
(cd "$folder" && cmake -E tar cf "$name.zip" --format=zip "$name")
made=("$folder/$name.zip")
if command -v makensis >/dev/null; then
  setup=$folder/Tessaly-$version-windows-x64-installer.exe
  makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$PWD/resources/windows/tessaly.ico" \
    -DOUTFILE="$setup" resources/windows/tessaly.nsi
  made+=("$setup")
else
  echo "No installer: makensis is not installed (Debian nsis)."
fi
rm -rf "$stage"
ls -l "${made[@]}"
