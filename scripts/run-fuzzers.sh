#!/usr/bin/env bash
# Runs every libFuzzer target in BUILD/fuzz for SECONDS each, starting from
# its seed corpus in fuzz/corpus/<target>/. New inputs go to a scratch folder,
# so the committed corpus changes only by hand.
set -euo pipefail
build=$1 seconds=${2:-180}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for t in "$build"/fuzz/fuzz_*; do
  [[ -x $t ]] || continue
  name=$(basename "$t"); name=${name#fuzz_}
  scratch=$(mktemp -d)
  seeds="$root/fuzz/corpus/$name"
  mkdir -p "$seeds"
  echo "== fuzz $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1 \
      "$t" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz/crash-$name-" "$scratch" "$seeds" 2>"$build/fuzz/$name.log"; then
    tail -n 40 "$build/fuzz/$name.log"
    status=1
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/fuzz/$name.log" || true
  rm -rf "$scratch"
done
exit $status
