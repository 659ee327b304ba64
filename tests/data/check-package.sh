#!/usr/bin/env bash
# Builds the Debian package of the build folder with CPack into a temporary folder and checks
# it: the programs in the private folder with links in /usr/bin, no ffmpeg in /usr/bin, the
# desktop files, manual pages and copyright, root ownership, and the computed dependencies.
# With lintian present, the package must have no lintian error either, and its programs the
# hardening of dpkg-buildflags.
# Exits 77 (skipped) where dpkg-deb is missing.
set -euo pipefail
build=$1
app_id=$2
version=$3
cpack=$4
command -v dpkg-deb > /dev/null || { echo "dpkg-deb is missing: skipped"; exit 77; }

work=$(mktemp -d)
manifest="$build/install_manifest.txt"
saved=""
if [ -f "$manifest" ]; then
    saved="$work/manifest.saved"
    cp "$manifest" "$saved"
fi
restore() {
    if [ -n "$saved" ]; then cp "$saved" "$manifest"; fi
    rm -rf "$work"
}
trap restore EXIT

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb="$work/wavelark_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no package named $(basename "$deb")"; ls "$work"; exit 1; }

fail=0
problem() {
    echo "$*"
    fail=1
}
# Lines of `dpkg-deb -c`: mode, owner/group, size, date, time, path[ -> target].
dpkg-deb -c "$deb" | awk '{ $3 = $4 = $5 = ""; print }' | tr -s ' ' > "$work/contents"
has() {
    grep -qxF -- "$1" "$work/contents" || problem "not in the package as expected: $1"
}
for program in wavelark wavelark-cli; do
    has "-rwxr-xr-x root/root ./usr/libexec/wavelark/$program"
    has "lrwxrwxrwx root/root ./usr/bin/$program -> ../libexec/wavelark/$program"
done
has "lrwxrwxrwx root/root ./usr/libexec/wavelark/ffmpeg -> ../../bin/ffmpeg"
if grep -q '\./usr/bin/ffmpeg' "$work/contents"; then
    problem "the package puts an ffmpeg into /usr/bin"
fi
has "-rw-r--r-- root/root ./usr/share/applications/$app_id.desktop"
has "-rw-r--r-- root/root ./usr/share/metainfo/$app_id.metainfo.xml"
has "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/$app_id.svg"
has "-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/$app_id.png"
has "-rw-r--r-- root/root ./usr/share/man/man1/wavelark.1.gz"
has "-rw-r--r-- root/root ./usr/share/man/man1/wavelark-cli.1.gz"
has "-rw-r--r-- root/root ./usr/share/doc/wavelark/copyright"
has "-rw-r--r-- root/root ./usr/share/doc/wavelark/changelog.gz"
if grep -v ' root/root ' "$work/contents"; then
    problem "entries above are not owned by root"
fi
if grep '^d' "$work/contents" | grep -v '^drwxr-xr-x '; then
    problem "folders above do not have mode 755"
fi

[ "$(dpkg-deb -f "$deb" Package)" = wavelark ] || problem "the package is not named wavelark"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || problem "the package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in ffmpeg libc6 libqt6core6 libqt6widgets6 libavformat59 libplist3 libtag1v5; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || problem "Depends lacks $needed: $depends"
done

if command -v lintian > /dev/null; then
    lintian --fail-on error --display-info --no-tag-display-limit "$deb" > "$work/lintian.log" 2>&1 ||
        { cat "$work/lintian.log"; problem "lintian reports errors"; }
    # Built with Debian's hardening flags (dpkg-buildflags): bind-now, relro, PIE.
    if grep -E 'hardening-no-(bindnow|relro|pie)' "$work/lintian.log"; then
        problem "the programs lack hardening flags"
    fi
    # Fortified calls appear only where the compiler knows a buffer's size; programs whose libc
    # calls all go through Qt have none, and lintian then names them although they were built
    # with the flag. The flag itself is what the compile commands show.
    if [ -f "$build/compile_commands.json" ] &&
        ! grep -q -- '-D_FORTIFY_SOURCE=' "$build/compile_commands.json"; then
        problem "the programs are not compiled with _FORTIFY_SOURCE"
    fi
fi
exit $fail
