#!/usr/bin/env bash
# Builds the fuzz targets of the job-file readers with clang and runs each
# for SECONDS (default 60) from its corpus. A finding stops the script with
# status 1; the input that caused it is left in the build folder's
# findings/ and belongs in the target's corpus (tests/fuzz/corpus/) once
# fixed.
#   tests/fuzz/run.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
build=${FUZZ_BUILD_DIR:-$here/../../build-fuzz}
command -v clang++ >/dev/null 2>&1 || { echo "clang++ not found (apt-get install clang)"; exit 1; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-2}"

mkdir -p "$build/findings"

# One target: a scratch copy of its corpus (the kept corpus holds the seeds
# and the regression inputs only), its own log, a line with the outcome.
fuzz() {
  local target=$1 work log runs
  work=$(mktemp -d)
  cp -r "$here/corpus/$target/." "$work/"
  log="$build/$target.log"
  # TOML jobs get inputs large enough to reach the reader's bounds on
  # nesting (its deep seeds are tens of kilobytes); the native readers' lines
  # are short.
  local max_len=8192
  [ "$target" = toml_reader ] && max_len=262144
  if (cd "$build" && "./${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2048 -close_fd_mask=3 -artifact_prefix="$build/findings/${target}-" \
        "$work" >"$log" 2>&1); then
    runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || true)
    echo "$target: ${runs:-?} executions in ${seconds} s, no finding"
    rm -rf "$work"
  else
    echo "$target: FINDING (log $log)"
    tail -40 "$log"
    rm -rf "$work"
    return 1
  fi
}

# The targets run side by side, FUZZ_JOBS at a time (one core each).
status=0
running=0
for target in labtest_reader optimisation_reader curve_reader udsmparm_reader toml_reader; do
  if ((running >= ${FUZZ_JOBS:-2})); then
    wait -n || status=1
    running=$((running - 1))
  fi
  fuzz "$target" &
  running=$((running + 1))
done
while ((running > 0)); do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
