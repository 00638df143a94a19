#!/bin/bash
# Makes docs/screenshot.png, the README's picture of the window: a sample file with a few streams,
# loaded by the build's Tessaly on a virtual display and taken by tools/screenshot.cpp.
#     tools/screenshot.sh [BUILD_FOLDER]        (default: build)
# Needs xvfb and xauth (tools/setup.sh installs them), and a Tessaly not running for this user.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
cmake --build "$build" -j2 --target tessaly_window tessaly screenshot

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A copy of the window of its own, so that its settings are written there and not beside the build's.
cp "$build/Tessaly" "$build/Tessaly.png" "$build/Tessaly.html" "$work/"
# A room of its own for the window, a little larger than its first start, with the preview wide
# enough for the origin of the download.
printf '[POSITION]\nLeft=100\nTop=100\nRight=900\nBottom=600\n[PREVIEW]\nWidth=330\n' > "$work/Tessaly.ini"
# The sample sits in a folder with a short name, since the tree shows full paths.
files=${TMPDIR:-/tmp}/調査資料
rm -rf "$files"
mkdir "$files"
trap 'rm -rf "$work" "$files"' EXIT
sample="$files/調査報告.txt"
printf '%s\n' '調査報告 2026年12月' '' '添付: 現地の写真、メモ、ダウンロード元の記録' > "$sample"
printf '%s\n' '確認済み。写真は縮小して添付すること。' | "$build/tessaly" put "$sample" メモ.txt
printf '[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/reports/\r\nHostUrl=https://dl.example.org/report.txt\r\n' |
  "$build/tessaly" put "$sample" Zone.Identifier
"$build/tessaly" put "$sample" photo.png "$here/resources/icons/hicolor/32x32/apps/tessaly.png"

mkdir -p "$here/docs"
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/tools/screenshot" "$here/docs/screenshot.png" "$work/Tessaly" "$sample"
