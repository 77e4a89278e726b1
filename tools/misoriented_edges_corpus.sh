#!/usr/bin/env bash
# Runs marlin_scan on every PRC file of the shared corpus and counts the misoriented
# edges of each result stream with misoriented_edges (one row per file, then a total).
#
#   tools/misoriented_edges_corpus.sh [build folder] [corpus folder]
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
corpus="${2:-$here/../shared/corpus}"
for program in marlin_scan misoriented_edges; do
    [[ -x "$build/bin/$program" ]] || { echo "missing $build/bin/$program (build it first)" >&2; exit 2; }
done
[[ -d "$corpus/prc" ]] || { echo "no corpus at $corpus: nothing to do"; exit 0; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
shopt -s nullglob
streams=()
for file in "$corpus"/prc/*.prc "$corpus"/prc-generated/*.prc; do
    name="${file#"$corpus"/}"
    mkdir -p "$scratch/$(dirname "$name")"
    "$build/bin/marlin_scan" "$file" >"$scratch/$name" 2>/dev/null
    streams+=("$name")
done
cd "$scratch" && "$build/bin/misoriented_edges" prc "${streams[@]}"
