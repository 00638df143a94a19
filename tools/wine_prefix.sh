#!/usr/bin/env bash
# Makes a throw-away Wine prefix in which Tessaly's Windows build shows Japanese:
#   tools/wine_prefix.sh DIR
# Wine's own dialogs draw Japanese names as boxes until their fonts are replaced by one that has
# the characters (Debian's fonts-noto-cjk, found through fontconfig).
set -euo pipefail
prefix=${1:?usage: tools/wine_prefix.sh DIR}
wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
"$wine" wineboot --init >/dev/null 2>&1
reg=$prefix/tessaly-fonts.reg
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for font in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "MS UI Gothic" "Segoe UI"; do
    printf '"%s"="Noto Sans CJK JP"\r\n' "$font"
  done
} >"$reg"
"$wine" regedit /S "$reg" >/dev/null 2>&1
# The registry is written back when the prefix's server ends.
"${wine%/*}/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
