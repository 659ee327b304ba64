#!/usr/bin/env bash
# Checks a build folder configured without tests (WAVELARK_BUILD_TESTS=OFF): it must hold only
# the program's executables, and neither its cache nor its generated build files may name a
# program of the packages given after the folder (the test-only packages), so a machine without
# them can configure and build it.
#   scripts/check-program-build.sh BUILD_DIR PACKAGE...
set -euo pipefail
shopt -s nullglob
build=$1
shift

fail=0
for path in "$build"/bin/*; do
    case $(basename "$path") in
    wavelark | wavelark-cli | ffmpeg) ;;
    *)
        echo "the program's build made $path"
        fail=1
        ;;
    esac
done

# Programs are found by full path (find_program), so the installed paths are what to look for.
mapfile -t tools < <(for pkg in "$@"; do dpkg -L "$pkg" 2>/dev/null || true; done |
    grep -E '^(/usr)?/s?bin/[^/]+$' | sort -u)
mapfile -t generated < <(find "$build" -type f \( -name CMakeCache.txt -o -name Makefile \
    -o -name '*.make' -o -name '*.ninja' -o -name '*.cmake' \))
for tool in "${tools[@]}"; do
    pattern="$(printf '%s' "$tool" | sed 's/[][\.*^$+?(){}|]/\\&/g')([^[:alnum:]._+-]|\$)"
    if grep -lE -- "$pattern" "${generated[@]}"; then
        echo "the program's build above refers to $tool, which only the tests need"
        fail=1
    fi
done
[ "$fail" -eq 0 ] && echo "The program's build needs no test-only tool (${#tools[@]} checked)."
exit $fail
