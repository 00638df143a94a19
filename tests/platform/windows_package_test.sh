#!/usr/bin/env bash
# The Windows packages under Wine: the zip holds the window, the command line, the help and the
# README under names that stay apart on Windows; the installer, run silently, puts them into
# Program Files with a Start menu entry and an uninstall entry; "tessaly" in a console there runs
# the command line; the uninstaller takes away what was installed and leaves the settings file.
#   windows_package_test.sh SOURCE_DIR BUILD_FOLDER
set -euo pipefail
source_dir=$1 folder=$2
wine=/usr/lib/wine/wine64
skip() { echo "skipped: $*"; exit 77; }
[[ -x $wine ]] || skip "Wine is not installed (Debian wine64)"
command -v makensis >/dev/null || skip "makensis is not installed (Debian nsis)"
[[ -f $folder/Tessaly.exe ]] || skip "the Windows window was not built (it needs tools/build_qt_windows.sh)"
fail() { echo "FAILED: $*"; exit 1; }

out=$("$source_dir/tools/package_windows.sh" "$folder")
version=$(sed -n 's/^project(Tessaly VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
zip=$folder/Tessaly-$version-windows-x64.zip
installer=$folder/Tessaly-$version-windows-x64-installer.exe
[[ -f $zip && -f $installer ]] || fail "packages not made: $out"
listed=$(cd "$folder" && cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | sort | tr '\n' ' ')
[[ $listed == " README.md Tessaly.exe Tessaly.html tessaly.com " || $listed == "README.md Tessaly.exe Tessaly.html tessaly.com " ]] ||
  fail "zip holds: $listed"

work=$(mktemp -d)
trap 'WINEPREFIX=$work/prefix /usr/lib/wine/wineserver64 -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" wineboot --init >/dev/null 2>&1
"$wine" "$installer" /S || fail "the installer ended with $?"
dir="$WINEPREFIX/drive_c/Program Files/Tessaly"
for f in Tessaly.exe tessaly.com Tessaly.html README.md Uninstall.exe; do
  [[ -f $dir/$f ]] || fail "not installed: $f"
done
[[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaly.lnk" ]] || fail "no Start menu entry"
"$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly' /v DisplayVersion 2>/dev/null |
  grep -q "$version" || fail "no uninstall entry"
usage=$(cd "$dir" && "$wine" cmd /c "tessaly --help" 2>/dev/null | head -n1)
[[ $usage == *"tessaly <"* ]] || fail "\"tessaly\" in a console did not run the command line: $usage"

printf '[Settings]\r\n' >"$dir/Tessaly.ini"
# The uninstaller copies itself away and goes on from there: wait for the prefix's programs.
"$wine" "$dir/Uninstall.exe" /S || fail "the uninstaller ended with $?"
/usr/lib/wine/wineserver64 -w
for f in Tessaly.exe tessaly.com Tessaly.html README.md Uninstall.exe; do
  [[ ! -e $dir/$f ]] || fail "left after uninstalling: $f"
done
[[ -f $dir/Tessaly.ini ]] || fail "the uninstaller removed the settings file"
echo "ok: zip, installer, console name, uninstaller"
