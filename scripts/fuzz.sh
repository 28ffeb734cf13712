#!/usr/bin/env bash
# Runs the libFuzzer targets for longer than the test run does: SECONDS each
# (default 300), one after another, all of them or the ones named (archive,
# body_reader, command_line, content_length, entry_name, payload_container,
# proxy_choice, sized_text, stamp, url_parts, version_pattern). Configures and builds
# the fuzz build build/fuzz (clang) first.
#   scripts/fuzz.sh [seconds per target] [target ...]
# What a run finds is kept in build/fuzz/tests/fuzz/long/<target>/corpus and
# taken up again by the next run (the short ctest runs start afresh from the
# seeds in a directory of their own); the seed corpus in tests/fuzz/corpus is
# never written to. The input of a failure is kept in
# build/fuzz/tests/fuzz/long/<target>/artifacts/; replay it with
#   build/fuzz/tests/fuzz/<target>_fuzz <file>
# Regressions: once fixed, copy that input to
# tests/fuzz/corpus/<target>/regression-<what it showed> and commit it with the
# fix; every later run, the short ones of scripts/test.sh included, replays it.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift $(( $# > 0 ? 1 : 0 ))
case $seconds in
  '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [seconds per target] [target ...]" >&2; exit 2 ;;
esac

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTENVIK_FUZZ=ON >/dev/null &&
  cmake --build build/fuzz -j2 >/dev/null || { echo "fuzz.sh: the fuzz build failed" >&2; exit 1; }

if [ $# -eq 0 ]; then
  set -- $(cd tests/fuzz/corpus && ls)
fi
failed=()
for target in "$@"; do
  binary=build/fuzz/tests/fuzz/${target}_fuzz
  if [ ! -x "$binary" ]; then echo "fuzz.sh: no target $target" >&2; failed+=("$target"); continue; fi
  work=build/fuzz/tests/fuzz/long/$target
  mkdir -p "$work"
  echo "== $target: ${seconds}s"
  if sh tests/fuzz/run-fuzz-target.sh "$binary" "tests/fuzz/corpus/$target" "$work" "$seconds" keep \
      >"$work.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+[[:space:]]+DONE' "$work.log" | tail -2
  else
    echo "fuzz.sh: $target FAILED; log $work.log, input in $work/artifacts/" >&2
    grep -E 'invariant broken|ERROR:|SUMMARY:' "$work.log" | head -5 >&2
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: nothing found"
