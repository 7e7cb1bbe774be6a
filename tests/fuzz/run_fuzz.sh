#!/usr/bin/env bash
# run_fuzz.sh BUILD_DIR SECONDS: the module fuzzer for SECONDS, from the music cut
# short inside its header and through its body, and from what earlier runs found
# (BUILD_DIR/corpus). A finding fails the run; its input stays in BUILD_DIR/findings.
set -uo pipefail
build=$1 seconds=$2 module=$(dirname "$0")/../../assets/LIGHT.S3M
mkdir -p "$build/corpus" "$build/findings" "$build/seeds"
for n in 16 48 96 256 4096 32768 $(stat -c %s "$module"); do head -c "$n" "$module" >"$build/seeds/cut-$n"; done
"$build/module_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$build/findings/" "$build/corpus" "$build/seeds" >"$build/fuzz.log" 2>&1 ||
  { tail -n 60 "$build/fuzz.log" >&2; echo "fuzz: FINDING; the input is in $build/findings/" >&2; exit 1; }
grep -E '^(INFO: seed corpus|Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/fuzz.log"
echo "fuzz: no finding in ${seconds} s"
