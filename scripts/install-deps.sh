#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs; does nothing when they are present.
#   scripts/install-deps.sh            native build, tests, tools
#   scripts/install-deps.sh --windows  also the mingw-w64 cross compiler and Wine
#   scripts/install-deps.sh --fuzz     also clang's fuzzing runtime
# The glTF validator used by the tests comes from npm into .tools/ (not committed).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
          zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev
          libgtest-dev libbenchmark-dev libqpdf-dev python3
          libtinygltf-dev nlohmann-json3-dev qpdf)
# Node from elsewhere (it brings its own npm) conflicts with Debian's npm package.
command -v npm >/dev/null || packages+=(nodejs npm)
for arg in "$@"; do
  case "$arg" in
    --windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

validator_version=2.0.0-dev.3.10
if [ ! -f .tools/node_modules/gltf-validator/package.json ] ||
   ! grep -q "\"version\": \"$validator_version\"" .tools/node_modules/gltf-validator/package.json; then
  mkdir -p .tools
  npm install --prefix .tools --no-audit --no-fund --silent "gltf-validator@$validator_version"
fi
