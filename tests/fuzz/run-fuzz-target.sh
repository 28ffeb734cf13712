#!/bin/sh
# Runs one libFuzzer target for a bounded time on a working copy of its seed
# corpus; the exit status is the target's (0: nothing found).
#   run-fuzz-target.sh BINARY SEED_DIR WORK_DIR SECONDS fresh|keep
# fresh: the working corpus starts as the seeds alone (ctest: every run alike).
# keep: what earlier runs found stays and the seeds are added (scripts/fuzz.sh).
# New inputs, and the input of any failure (artifacts/), go below WORK_DIR.
set -eu
binary=$1 seeds=$2 work=$3 seconds=$4 mode=$5

[ "$mode" = fresh ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"

# halt_on_error and the leak check are libFuzzer's defaults under ASan; said
# here so an environment that sets ASAN_OPTIONS cannot turn them off unseen.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -max_len=8192 -use_value_profile=1 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus"
