#!/usr/bin/env bash
# The whole test suite: the Linux build with its tests and a short run of every benchmark, the
# ASan+UBSan and TSan builds with the same tests, a short run of every fuzz target, and the Windows
# cross-build with its tests under Wine (and a virtual display for the window tests), which include
# the comparison of the six files the Linux and the Windows builds write for the same day; and the
# packages of both, their contents listed and checked (lintian, systemd-analyze, line ends).
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

step "layers (include graph)"
python3 tools/check_layers.py

step "Linux"
suite linux
step "Linux package"
rm -f build/linux/fenwright_*.deb
cmake --build --preset linux --target package
deb=$(ls build/linux/fenwright_*_amd64.deb)
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
lintian --fail-on error --display-level '>=warning' "$deb"
if command -v systemd-analyze >/dev/null; then
  # The unit as the package ships it, but for the program's path: verify wants the program that
  # ExecStart names, and the package is not installed here.
  root=$(mktemp -d)
  dpkg-deb --extract "$deb" "$root"
  sed "s|=/usr/bin/fenwright |=$root/usr/bin/fenwright |" \
    "$root/lib/systemd/system/fenwright.service" > "$root/fenwright.service"
  findings=$(systemd-analyze verify "$root/fenwright.service" 2>&1) || { echo "$findings"; exit 1; }
  rm -rf "$root"
  if [ -n "$findings" ]; then echo "$findings"; exit 1; fi
fi

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

step "Windows package"
rm -f build/windows/fenwright-*.zip
cmake --build --preset windows --target package
zip=$(ls build/windows/fenwright-*-win64.zip)
unzip -l "$zip"
if unzip -p "$zip" '*.txt' '*.ini' | grep -qv $'\r$'; then
  echo "a text of $zip has a line without a Windows line end" >&2
  exit 1
fi

step "all suites passed"
