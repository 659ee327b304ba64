#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed layout: the programs and
# their `ffmpeg` link in the private folder, only links to the programs in bin/, the desktop
# files; then runs the installed wavelark-cli through bin/ on real audio, which must reach the
# encoder through the private link, and checks that the manifest covers everything installed.
set -euo pipefail
build=$1
app_id=$2
version=$3
work=$(mktemp -d)
prefix="$work/prefix"
manifest="$build/install_manifest.txt"
# A real installation's manifest (for `make uninstall`) must survive this test's own install.
saved=""
if [ -f "$manifest" ]; then
    saved="$work/manifest.saved"
    cp "$manifest" "$saved"
fi
restore() {
    if [ -n "$saved" ]; then cp "$saved" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
trap restore EXIT

cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 ||
    { cat "$work/install.log"; exit 1; }
cp "$manifest" "$work/manifest"

fail=0
problem() {
    echo "$*"
    fail=1
}
expect() {
    [ -e "$prefix/$1" ] || problem "missing after install: $1"
}
private=libexec/wavelark
for program in wavelark wavelark-cli; do
    expect "$private/$program"
    [ -L "$prefix/bin/$program" ] || problem "bin/$program is not a link"
    [ "$(readlink -f "$prefix/bin/$program")" = "$(readlink -f "$prefix/$private/$program")" ] ||
        problem "bin/$program does not lead to $private/$program"
done
expect "$private/ffmpeg"
[ ! -e "$prefix/bin/ffmpeg" ] && [ ! -L "$prefix/bin/ffmpeg" ] ||
    problem "an ffmpeg was installed into the shared bin/"
expect "share/applications/$app_id.desktop"
expect "share/metainfo/$app_id.metainfo.xml"
expect "share/icons/hicolor/scalable/apps/$app_id.svg"
for size in 16 24 32 48 64 128 256; do
    expect "share/icons/hicolor/${size}x${size}/apps/$app_id.png"
done
expect share/man/man1/wavelark.1.gz
expect share/man/man1/wavelark-cli.1.gz
expect share/doc/wavelark/copyright
gzip -t "$prefix/share/man/man1/wavelark-cli.1.gz" || problem "the manual page is not gzip data"

# Everything installed must be in the manifest that `make uninstall` reads.
while IFS= read -r path; do
    grep -qxF "$path" "$work/manifest" || problem "not in the install manifest: $path"
done < <(find "$prefix" \( -type f -o -type l \))

# A private home, so the run reads no real preferences and writes no real playlist.
home="$work/home"
mkdir -p "$home/.config" "$home/Music" "$work/out"
run_cli() {
    env HOME="$home" WAVELARK_TEST_HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share" \
        XDG_MUSIC_DIR="$home/Music" "$prefix/bin/wavelark-cli" "$@"
}

version_text=$(run_cli --version) || problem "installed wavelark-cli --version failed"
[[ "$version_text" == *"$version"* ]] ||
    problem "installed wavelark-cli --version says '$version_text', not $version"

sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440
flac -s -f -o "$work/tone.flac" "$work/tone.wav"
if run_cli --format mp3 --jobs 1 --no-sync --output "$work/out" "$work/tone.flac" \
    > "$work/convert.log" 2>&1; then
    ffmpeg -v error -i "$work/out/tone.mp3" -f null - ||
        problem "the installed wavelark-cli wrote no readable MP3"
else
    cat "$work/convert.log"
    problem "the installed wavelark-cli failed to convert"
fi

# Without the private link the same conversion must fail: the encoder comes from there, not
# from the PATH.
rm "$prefix/$private/ffmpeg"
rm -f "$work/out/"*
if run_cli --format mp3 --jobs 1 --no-sync --output "$work/out" "$work/tone.flac" \
    > "$work/convert.log" 2>&1; then
    problem "the conversion succeeded without the private encoder link"
fi
exit $fail
