#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every installed piece is there,
# that the encoder link beside the executables works, and that the manifest lists it.
set -euo pipefail
build=$1
app_id=$2
prefix=$(mktemp -d)
manifest="$build/install_manifest.txt"
# A real installation's manifest (for `make uninstall`) must survive this test's own install.
saved=""
if [ -f "$manifest" ]; then
    saved=$(mktemp)
    cp "$manifest" "$saved"
fi
restore() {
    if [ -n "$saved" ]; then mv "$saved" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$prefix"
}
trap restore EXIT

cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 || { cat "$prefix.log"; exit 1; }
rm -f "$prefix.log"

fail=0
expect() {
    if [ ! -e "$prefix/$1" ]; then
        echo "missing after install: $1"
        fail=1
    fi
}
expect bin/wavelark
expect bin/wavelark-cli
expect bin/ffmpeg
expect "share/applications/$app_id.desktop"
expect "share/metainfo/$app_id.metainfo.xml"
expect "share/icons/hicolor/scalable/apps/$app_id.svg"
for size in 16 24 32 48 64 128 256; do
    expect "share/icons/hicolor/${size}x${size}/apps/$app_id.png"
done
expect share/man/man1/wavelark-cli.1

if ! "$prefix/bin/ffmpeg" -hide_banner -version > /dev/null; then
    echo "the installed ffmpeg link does not run"
    fail=1
fi
if ! grep -qx "$prefix/bin/ffmpeg" "$manifest"; then
    echo "the install manifest does not list the ffmpeg link"
    fail=1
fi
exit $fail
