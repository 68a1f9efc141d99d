#!/usr/bin/env bash
# The whole test suite: the Linux build with its tests and a short run of every benchmark, the
# ASan+UBSan and TSan builds with the same tests, a short run of every fuzz target, and the Windows
# cross-build with its tests under Wine (and a virtual display for the window tests), which include
# the comparison of the six files the Linux and the Windows builds write for the same day.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh test

jobs=$(nproc)
start=$SECONDS
step() { echo; echo "=== $* ($((SECONDS - start)) s)"; }

# setup.sh has installed the DBF readers: a read-back test that cannot find them fails instead of
# skipping. Wine cannot run them, so the Windows suite runs without.
suite() {  # preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j"$jobs"
  FW_REQUIRE_DBF_READERS=1 ctest --preset "$1" -j"$jobs"
}

step "layout (clang-format)"
{ git ls-files -z '*.cpp' '*.h' 2>/dev/null ||
  find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0; } |
  xargs -0 clang-format --dry-run --Werror

step "Linux"
suite linux
step "benchmarks, short run"
for b in build/linux/bench/bench_*; do
  [ -x "$b" ] && "$b" --benchmark_min_time=0.01 >/dev/null
done

step "Linux, AddressSanitizer + UndefinedBehaviorSanitizer"
suite linux-asan

step "Linux, ThreadSanitizer"
suite linux-tsan

step "fuzz targets, ${FW_FUZZ_SECONDS:-10} s each"
tools/fuzz.sh "${FW_FUZZ_SECONDS:-10}"

step "Windows (mingw-w64) under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
LANG=zh_CN.UTF-8 xvfb-run -a -s "-screen 0 1024x768x24" \
  sh -c 'evilwm -fn fixed >/dev/null 2>&1 & ctest --preset windows -j1'

step "all suites passed"
