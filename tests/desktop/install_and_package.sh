#!/usr/bin/env bash
# Installs the built tree into a fresh prefix and checks what a desktop finds there; then builds the
# Debian package and checks its control data and contents.
# usage: install_and_package.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1
app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/lumo bin/lumo-cli; do
    [ -x "$prefix/$f" ] || fail "$f is not an installed program"
done
expected=(
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    share/icons/hicolor/scalable/apps/lumo.svg
    share/man/man1/lumo.1.gz
    share/man/man1/lumo-cli.1.gz
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x$size/apps/lumo.png")
done
for f in "${expected[@]}"; do
    [ -s "$prefix/$f" ] || fail "$f is missing or empty"
done
for size in 16 48 256; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/lumo.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a $size pixel PNG: $(file -b "$png")"
done
desktop=$prefix/share/applications/$app_id.desktop
grep -qx 'Exec=lumo %u' "$desktop" || fail "the launcher does not pass the link to lumo"
grep -qx 'MimeType=x-scheme-handler/ftp;' "$desktop" || fail "the launcher does not take ftp:// links"
desktop-file-validate "$desktop" || fail "the installed launcher entry does not validate"
gzip -dc "$prefix/share/man/man1/lumo-cli.1.gz" | grep -q '^\.TH LUMO-CLI 1' || fail "lumo-cli.1 is no manual page"
# The guide goes along whenever the repository has one, with every picture it shows; its links
# within the page each lead to a chapter.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
guide=$source_dir/doc/guide/index.html
guide_files=()
if [ -f "$guide" ]; then
    mapfile -t guide_files < <(echo index.html; grep -o '<img src="[^"]*"' "$guide" | sed 's/^<img src="//; s/"$//')
    for page in "${guide_files[@]}"; do
        if [ ! -f "$source_dir/doc/guide/$page" ]; then
            fail "the guide shows $page, which doc/guide lacks"
            continue
        fi
        cmp -s "$source_dir/doc/guide/$page" "$prefix/share/lumo/guide/$page" ||
            fail "the guide's $page is not installed"
        cmp -s "$source_dir/doc/guide/$page" "$build/share/lumo/guide/$page" ||
            fail "the guide's $page is not beside the built program"
    done
    for anchor in $({ grep -o 'href="#[^"]*"' "$guide" || true; } | sed 's/^href="#//; s/"$//'); do
        grep -q "id=\"$anchor\"" "$guide" || fail "the guide links to #$anchor, which it lacks"
    done
fi
"$prefix/bin/lumo-cli" --help | grep -q '^usage: lumo-cli' || fail "the installed lumo-cli does not run"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/package/*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    fail "no .deb was made"
else
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # One package name a line, versions and alternatives left out.
    names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//')
    for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6 \
        fonts-ipafont-gothic qt6-translations-l10n; do
        echo "$names" | grep -qxF "$needed" || fail "Depends lacks $needed"
    done
    [ "$(dpkg-deb -f "$deb" Package)" = lumo ] || fail "the package is not named lumo"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "wrong architecture"
    contents=$(dpkg-deb -c "$deb")
    for f in ./usr/bin/lumo ./usr/bin/lumo-cli "./usr/share/applications/$app_id.desktop" \
        ./usr/share/icons/hicolor/scalable/apps/lumo.svg ./usr/share/man/man1/lumo-cli.1.gz; do
        echo "$contents" | grep -q " $f\$" || fail "the package lacks $f"
    done
    for page in "${guide_files[@]}"; do
        echo "$contents" | grep -q " ./usr/share/lumo/guide/$page\$" || fail "the package lacks the guide's $page"
    done
    echo "$contents" | grep -q 'tst_\|store_writer\|render_icon' && fail "the package holds test or build programs"
fi

if [ $failures -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "install tree and package: all checks passed"
