#!/usr/bin/env bash
# Runs every fuzz target of a build over a copy of its committed corpus (so
# the corpus is not grown), for SECONDS each, or for RUNS executions when a
# third argument is given. Fails when a target finds a crash, a leak or
# undefined behaviour; the input that did it lands in <build>/fuzz-artifacts.
# Usage: Tests/fuzz/run.sh [build folder] [seconds] [runs]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/fuzz}"
seconds="${2:-20}"
runs="${3:-}"
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

status=0
targets=("$build"/bin/fuzz_*)
[ -e "${targets[0]}" ] || { echo "no fuzz targets in $build/bin"; exit 1; }
for target in "${targets[@]}"; do
  name="$(basename "$target")"
  work="$(mktemp -d)"
  cp -R "$here/corpus/$name/." "$work/"
  limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs" -max_total_time="$seconds")
  echo "=== $name"
  if "$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
       -artifact_prefix="$artifacts/$name-" "$work" >"$work.log" 2>&1; then
    grep -E "^#[0-9]+.*(DONE|cov:)" "$work.log" | tail -1
    grep -E "stat::number_of_executed_units" "$work.log"
  else
    tail -60 "$work.log"
    echo "=== $name FAILED (log above; input in $artifacts)"
    status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
