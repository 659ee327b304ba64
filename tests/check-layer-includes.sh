#!/usr/bin/env bash
# Fails when a source under src/ includes a file by a relative path ("../x.h", "./x.h"): such an
# include reaches past the include roots of its layer, so a header of a layer the target does not
# link would compile without a word. Project headers are written "layer/File.h".
set -euo pipefail
cd "$1"
if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"\.\.?/' src; then
    echo "relative includes above: write them as \"layer/File.h\"" >&2
    exit 1
fi
