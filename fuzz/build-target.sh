#!/usr/bin/env bash
# Configures the fuzzing build (clang, libFuzzer, address and undefined-behaviour sanitizers)
# in $FUZZ_OUT (default build-fuzz/ beside src/) and builds the fuzz target named first.
#   fuzz/build-target.sh json_fuzz
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_OUT:-$root/build-fuzz}

cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="${CXX:-clang++}" \
    -DWAVELARK_BUILD_FUZZERS=ON -DWAVELARK_BUILD_TESTS=OFF > "$out.configure.log" 2>&1 ||
    { cat "$out.configure.log"; exit 1; }
rm -f "$out.configure.log"
cmake --build "$out" -j "$(nproc)" --target "$1"
