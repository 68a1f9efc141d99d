#!/usr/bin/env bash
# Runs every libFuzzer target of the linux-fuzz build for SECONDS each, starting from the committed
# seed corpora in tests/fuzz/corpus/<target>/.
#
#   tools/fuzz.sh SECONDS [--keep] [TARGET ...]
#
# With --keep the new inputs found are merged (minimised) into the committed corpus; without it
# the run works on a scratch copy. A crash stops the run with its input in build/linux-fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: tools/fuzz.sh SECONDS [--keep] [TARGET ...]}
shift
keep=0
if [ "${1:-}" = "--keep" ]; then keep=1; shift; fi

build=build/linux-fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then cmake --preset linux-fuzz >/dev/null; fi
cmake --build "$build" -j"$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find "$build/tests/fuzz" -maxdepth 1 -type f -name '*_fuzz' -perm -u+x -printf '%f\n' | sort)
fi

mkdir -p "$build/crashes"
status=0
for t in "${targets[@]}"; do
  seeds=tests/fuzz/corpus/$t
  mkdir -p "$seeds"
  work=$(mktemp -d)
  cp -r "$seeds/." "$work/" 2>/dev/null || true
  echo "== fuzz $t for ${seconds}s"
  if ! "$build/tests/fuzz/$t" "$work" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/crashes/$t-" -rss_limit_mb=4096 2>"$build/crashes/$t.log"; then
    echo "!! $t failed; see $build/crashes/$t.log"
    tail -40 "$build/crashes/$t.log"
    status=1
  else
    grep -E 'stat::number_of_executed_units|stat::new_units_added' "$build/crashes/$t.log" | sed 's/^/   /'
  fi
  if [ "$keep" = 1 ]; then
    "$build/tests/fuzz/$t" -merge=1 "$seeds" "$work" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
done
exit $status
