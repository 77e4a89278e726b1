#!/usr/bin/env bash
# Installs what the build needs, builds, and exports every 3D model of the bundled
# sample PDF (or of the PDF given) to GLB and PNG in out/, printing the summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
pdf="${1:-samples/assembly.pdf}"
build/bin/pdf3d export "$pdf" -o out/
