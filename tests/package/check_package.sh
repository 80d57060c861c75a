#!/usr/bin/env bash
# The Debian package, as a user gets it: built with cpack in the build folder, then checked —
# its files, its menu entry and AppStream metadata, Lintian, and the programs run from an
# extracted tree (never installed on this machine).
#
#   check_package.sh BUILD_DIR
#
# Exits 77 (skipped) where Debian's packaging tools are missing.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian convert xxd; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing" >&2; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cd "$build"
rm -f hexjpg_*.deb
cpack -G DEB >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls hexjpg_*_amd64.deb)
[[ $deb == hexjpg_1.0_amd64.deb ]] || fail "package named $deb"

# Every file that the install rules put there.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
id=com.example.hexjpg
expected=(./usr/bin/hexjpg ./usr/bin/hexjpg-cli
          ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml
          ./usr/share/man/man1/hexjpg.1.gz ./usr/share/man/man1/hexjpg-cli.1.gz
          ./usr/share/man/zh_CN/man1/hexjpg.1.gz ./usr/share/man/zh_CN/man1/hexjpg-cli.1.gz
          ./usr/share/doc/hexjpg/copyright ./usr/share/doc/hexjpg/changelog.gz
          ./usr/share/hexjpg/output-folder)
for size in 16 32 48 64 128 256; do
    expected+=(./usr/share/icons/hicolor/${size}x${size}/apps/$id.png)
done
for file in "${expected[@]}"; do
    grep -qxF "$file" "$work/files" || fail "the package lacks $file"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no dependencies found by dpkg-shlibdeps"
dpkg-deb -f "$deb" Depends | grep -q 'fonts-arphic-uming' || fail "the font is no dependency"
[[ $(dpkg-deb -f "$deb" Section) == graphics ]] || fail "section"

tree=$work/tree
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/$id.desktop" || fail "desktop entry"
# English pages where no language is asked for, Chinese ones beside them.
zcat "$tree/usr/share/man/man1/hexjpg-cli.1.gz" | grep -q 'Write 1.jpg into this folder' ||
    fail "English manual page"
zcat "$tree/usr/share/man/zh_CN/man1/hexjpg-cli.1.gz" | grep -q '把 1.jpg 写入该文件夹' ||
    fail "Chinese manual page"
appstreamcli validate --no-net "$tree/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo"
start=$(date +%s%N)
lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "Lintian reports errors"
echo "lintian took $(( ($(date +%s%N) - start) / 1000000 )) ms"

# The programs from the package.
convert -size 64x48 plasma:fractal -quality 85 "$work/picture.jpg"
xxd -p "$work/picture.jpg" >"$work/dump.txt"
mkdir "$work/out"
"$tree/usr/bin/hexjpg-cli" --dir "$work/out" "$work/dump.txt" 2>/dev/null || fail "hexjpg-cli --dir"
cmp -s "$work/out/1.jpg" "$work/picture.jpg" || fail "1.jpg with --dir"
# Without --dir, an installed program writes to the user's pictures folder.
mkdir "$work/home"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config "$tree/usr/bin/hexjpg-cli" "$work/dump.txt" \
    2>/dev/null || fail "hexjpg-cli without --dir"
cmp -s "$work/home/Pictures/1.jpg" "$work/picture.jpg" || fail "1.jpg in the pictures folder"
[[ ! -e "$tree/usr/bin/1.jpg" ]] || fail "1.jpg beside the installed program"
"$tree/usr/bin/hexjpg-cli" --version | grep -qx 'hexjpg-cli 1.0' || fail "hexjpg-cli --version"
export QT_QPA_PLATFORM=offscreen
"$tree/usr/bin/hexjpg" --version | grep -qx 'hexjpg 1.0' || fail "hexjpg --version"
"$tree/usr/bin/hexjpg" --help | grep -q -- '--dir' || fail "hexjpg --help"
if "$tree/usr/bin/hexjpg" --bogus 2>/dev/null; then fail "hexjpg --bogus"; else [[ $? == 2 ]] || fail "hexjpg --bogus status"; fi
echo "package checked: $deb"
