#!/usr/bin/env bash
# Builds the store answer value extractor's libFuzzer target (CMake target
# value_extractor_fuzz, see build-target.sh), then runs it on the seeds.
#   fuzz/run-value-extractor-fuzz.sh [seconds]      (default 600)
# Build output and the growing corpus go to $FUZZ_OUT (default build-fuzz/ beside src/).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_OUT:-$root/build-fuzz}
seconds=${1:-600}

mkdir -p "$out/value-extractor-corpus" "$out/value-extractor-artifacts"
FUZZ_OUT=$out "$here/build-target.sh" value_extractor_fuzz

# New inputs go to the first folder; the checked-in seeds stay as they are.
"$out/bin/value_extractor_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/value-extractor-artifacts/" \
    "$out/value-extractor-corpus" "$here/corpus/value-extractor"
