#!/usr/bin/env bash
# Builds the Windows programs and packs them: build-windows/hexjpg-<version>-win64.zip (the two
# programs, portable: 1.jpg beside them) and build-windows/hexjpg-<version>-setup.exe (installed in
# Program Files with a Start-menu entry: 1.jpg in the user's pictures folder).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh nsis zip
bash scripts/build-windows.sh hexjpg hexjpg-cli
build=$(pwd)/${BUILD_DIR:-build-windows}
version=$(sed -n 's/^project(hexjpg VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$build/stage
rm -rf "$stage" && mkdir -p "$stage"
for program in app/hexjpg cli/hexjpg-cli; do
    x86_64-w64-mingw32-strip -o "$stage/$(basename "$program").exe" "$build/$program.exe"
done
cp resources/icon.ico "$stage/"
sed 's/$/\r/' packaging/windows/README.txt > "$stage/README.txt"
printf 'pictures\r\n' > "$stage/output-folder"
zip="$build/hexjpg-$version-win64.zip"
rm -f "$zip"
(cd "$stage" && zip -q -9 "$zip" hexjpg.exe hexjpg-cli.exe README.txt)
makensis -INPUTCHARSET UTF8 -V2 -DVERSION="$version" -DFILES="$stage" \
    -DOUT="$build/hexjpg-$version-setup.exe" packaging/windows/hexjpg.nsi
echo "$zip"
echo "$build/hexjpg-$version-setup.exe"
