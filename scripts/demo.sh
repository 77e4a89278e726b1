#!/usr/bin/env bash
# Installs what the build needs, builds, runs marlin_scan on the bundled sample and
# prints what came back.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
sample="${1:-samples/assembly.prc}"
echo "marlin_scan $sample:"
build/bin/marlin_scan "$sample" | build/bin/stream_inspect prc -
