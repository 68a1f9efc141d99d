#!/usr/bin/env bash
# Runs every libFuzzer target of the linux-fuzz build for SECONDS each, starting from the committed
# seed corpora in tests/fuzz/corpus/<target>/.
#
#   tools/fuzz.sh SECONDS [--keep] [TARGET ...]
#
# With --keep the new inputs found are merged (only those that reach new edges) into the committed
# corpus; without it the run works on a scratch copy. A crash, or an input that runs longer than
# FW_FUZZ_TIMEOUT seconds (default 25), fails the run with its input in <build>/crashes.
#
# Environment: FW_FUZZ_BUILD, the build folder (default build/linux-fuzz, made with the linux-fuzz
# preset when missing); FW_FUZZ_JOBS, how many targets run at the same time (default 1).
# Each target's summary gives its executions, the inputs it added and its final coverage ("cov:",
# the edges reached).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: tools/fuzz.sh SECONDS [--keep] [TARGET ...]}
shift
keep=0
if [ "${1:-}" = "--keep" ]; then keep=1; shift; fi

build=${FW_FUZZ_BUILD:-build/linux-fuzz}
jobs=${FW_FUZZ_JOBS:-1}
timeout=${FW_FUZZ_TIMEOUT:-25}
if [ ! -f "$build/CMakeCache.txt" ]; then cmake --preset linux-fuzz -B "$build" >/dev/null; fi
cmake --build "$build" -j"$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find "$build/tests/fuzz" -maxdepth 1 -type f -name '*_fuzz' -perm -u+x -printf '%f\n' | sort)
fi

crashes=$build/crashes
mkdir -p "$crashes"

# One target: fuzz, then (with --keep) merge; the summary goes to $crashes/$t.summary and the
# exit status says whether the target held.
run_one() {
  local t=$1 seeds=tests/fuzz/corpus/$1 work status=0
  mkdir -p "$seeds"
  work=$(mktemp -d)
  cp -r "$seeds/." "$work/" 2>/dev/null || true
  if ! "$build/tests/fuzz/$t" "$work" -max_total_time="$seconds" -timeout="$timeout" \
      -print_final_stats=1 -artifact_prefix="$crashes/$t-" -rss_limit_mb=4096 \
      2>"$crashes/$t.log"; then
    status=1
  fi
  {
    echo "== fuzz $t for ${seconds}s"
    if [ $status -ne 0 ]; then
      echo "!! $t failed; see $crashes/$t.log"
      tail -40 "$crashes/$t.log"
    else
      grep -E 'stat::number_of_executed_units|stat::new_units_added' "$crashes/$t.log" | sed 's/^/   /' || true
      grep -oE 'cov: [0-9]+ ft: [0-9]+' "$crashes/$t.log" | tail -1 | sed 's/^/   final /' || true
    fi
  } >"$crashes/$t.summary"
  if [ "$keep" = 1 ]; then
    # Edges only, so that the committed corpus keeps one input per reached edge, not per counter.
    "$build/tests/fuzz/$t" -merge=1 -use_counters=0 "$seeds" "$work" >"$crashes/$t.merge.log" 2>&1 || true
  fi
  rm -rf "$work"
  return $status
}

status=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
for t in "${targets[@]}"; do cat "$crashes/$t.summary"; done
exit $status
