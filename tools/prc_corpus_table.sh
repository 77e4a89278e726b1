#!/usr/bin/env bash
# Runs marlin_scan on every PRC file of the shared corpus and prints one row per file:
# outcome, status, vertices, triangles, nodes, whether the flat fallback was used (a mesh
# without node table), time and peak memory. Exit code 1 when any run crashed, hung,
# wrote a malformed stream or went over the stream limit.
#
#   tools/prc_corpus_table.sh [build folder] [corpus folder]
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
corpus="${2:-$here/../shared/corpus}"
scan="$build/bin/marlin_scan"
inspect="$build/bin/stream_inspect"
timeout_seconds=120
stream_limit=$((48 + 268435456))

for program in "$scan" "$inspect"; do
    [[ -x "$program" ]] || { echo "missing $program (build it first)" >&2; exit 2; }
done
if [[ ! -d "$corpus/prc" ]]; then
    echo "no corpus at $corpus: nothing to do"
    exit 0
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
measure=()
[[ -x /usr/bin/time ]] && measure=(/usr/bin/time -f %M -o "$scratch/rss")

printf '%-58s %-9s %6s %9s %9s %6s %8s %8s %7s\n' file outcome status vertices triangles nodes fallback ms peakMiB
declare -A count=()
failures=0
shopt -s nullglob
for file in "$corpus"/prc/*.prc "$corpus"/prc-generated/*.prc; do
    name="${file#"$corpus"/}"
    rm -f "$scratch/rss"
    start=$(date +%s%N)
    timeout "$timeout_seconds" "${measure[@]}" "$scan" "$file" >"$scratch/out" 2>/dev/null
    code=$?
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    peak="-"
    [[ -s "$scratch/rss" ]] && peak=$(( $(tail -n 1 "$scratch/rss") / 1024 ))
    size=$(stat -c %s "$scratch/out")
    status="-" vertices="-" triangles="-" nodes="-" fallback="-"
    if (( code == 124 )); then
        outcome=hang
    elif (( code != 0 )); then
        outcome="exit$code"
    elif (( size > stream_limit )); then
        outcome=oversize
    elif ! report="$("$inspect" prc "$scratch/out")"; then
        outcome=malformed
    else
        status=$(sed -n 's/^PRC result stream: ok [01], status \([0-9]*\).*/\1/p' <<<"$report")
        if grep -q '^PRC result stream: ok 1' <<<"$report"; then
            outcome=mesh
            read -r vertices triangles nodes < <(sed -n 's/^vertices \([0-9]*\), triangles \([0-9]*\), nodes \([0-9]*\)$/\1 \2 \3/p' <<<"$report")
            if (( nodes == 0 )); then fallback=yes; else fallback=no; fi
        elif grep -q '^message:' <<<"$report"; then
            outcome=refused
        else
            outcome=failed
        fi
    fi
    case "$outcome" in mesh|failed|refused) ;; *) failures=$((failures + 1)) ;; esac
    key="$outcome"
    [[ "$outcome" == failed ]] && key="status $status"
    [[ "$outcome" == mesh && "$fallback" == yes ]] && key="mesh (fallback)"
    count[$key]=$(( ${count[$key]:-0} + 1 ))
    printf '%-58.58s %-9s %6s %9s %9s %6s %8s %8s %7s\n' "$name" "$outcome" "$status" "$vertices" "$triangles" \
        "$nodes" "$fallback" "$ms" "$peak"
done

echo
for key in "${!count[@]}"; do
    printf '%s: %d\n' "$key" "${count[$key]}"
done | sort
if (( failures > 0 )); then
    echo "$failures run(s) crashed, hung or wrote a bad stream"
    exit 1
fi
