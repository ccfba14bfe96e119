#!/bin/sh
# Runs every fuzz target of a fuzz build folder for a while.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS
#
# The seeds are written afresh by the project's own programs into
# BUILD_DIR/fuzz-seeds; what a target finds worth keeping goes into its
# corpus BUILD_DIR/fuzz-corpus/TARGET, which grows from run to run. Two
# targets run at a time. A crash, a sanitizer report, a leak, an input that
# takes longer than FUZZ_TIMEOUT seconds (default 10) or memory beyond
# FUZZ_RSS_MB (default 2048) is a finding: its input is saved in
# BUILD_DIR/fuzz-findings and the script fails.
set -eu
build=$1
seconds=$2
timeout=${FUZZ_TIMEOUT:-10}
rss=${FUZZ_RSS_MB:-2048}
targets="fuzz_drawing_read fuzz_figure_read fuzz_preview fuzz_convert"

seeds=$build/fuzz-seeds
rm -rf "$seeds"
"$build/fuzz/talvine-fuzz-seeds" "$seeds" >/dev/null
"$build/talvine-examples" "$seeds" >/dev/null
mkdir -p "$build/fuzz-findings" "$build/fuzz-logs"

for t in $targets; do echo "$t"; done | xargs -P 2 -I TARGET sh -c '
  build=$1; t=$2; seeds=$3; seconds=$4; timeout=$5; rss=$6
  mkdir -p "$build/fuzz-corpus/$t"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$build/fuzz/$t" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb="$rss" -max_len=262144 \
       -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$t-" \
       "$build/fuzz-corpus/$t" "$seeds" >"$build/fuzz-logs/$t.log" 2>&1; then
    echo "$t: no finding in $seconds s ($(grep -m1 "stat::number_of_executed_units" "$build/fuzz-logs/$t.log" | sed "s/.*: *//") runs)"
  else
    echo "$t: FINDING, see $build/fuzz-logs/$t.log"; tail -n 30 "$build/fuzz-logs/$t.log"; exit 1
  fi' sh "$build" TARGET "$seeds" "$seconds" "$timeout" "$rss"
