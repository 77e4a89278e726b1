#!/usr/bin/env bash
# Runs every fuzz target for a fixed time on its seeds and fails on any finding.
#   fuzz/run_fuzzers.sh <fuzz build folder> <seed folder> <seconds per target> [target ...]
# Seeds come from make_fuzz_seeds (built by the normal build). Each target keeps what it
# learns in <fuzz build folder>/fuzz-corpus/<target>; findings land in
# <fuzz build folder>/fuzz-findings/<target>.
set -euo pipefail
build="$1"; seeds="$2"; seconds="$3"; shift 3
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_prc_file fuzz_prc_sections fuzz_compressed_tess fuzz_u3d_scene fuzz_u3d_raw_parsers fuzz_result_stream)
fi
failed=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"; findings="$build/fuzz-findings/$t"
  mkdir -p "$corpus" "$findings" "$seeds/$t"
  echo "--- $t: ${seconds}s"
  dict=()
  case "$t" in fuzz_u3d_*) dict=(-dict="$(dirname "$0")/u3d_blocks.dict") ;; esac
  # Instrumented code runs several times slower than the workers; their own bounds
  # (2 s, 1 GiB per input) are checked uninstrumented by bench/hostile_inputs.py.
  if ! "$build/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=1048576 \
       -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" "$corpus" "$seeds/$t" > "$build/fuzz-$t.log" 2>&1; then
    echo "FINDING in $t:"; tail -n 40 "$build/fuzz-$t.log"; failed=1
  else
    grep -E 'stat::number_of_executed_units|cov:' "$build/fuzz-$t.log" | tail -n 2
  fi
done
exit $failed
