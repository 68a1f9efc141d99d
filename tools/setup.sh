#!/usr/bin/env bash
# Installs (apt-get, as root) whatever the build, the tests and the demo need and is missing.
#   tools/setup.sh [demo|test]
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest libbenchmark-dev python3)
if [ "${1:-test}" = "test" ]; then
  packages+=(clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool
             imagemagick fonts-wqy-microhei fonts-wine locales evilwm python3-dbfread python3-dbf
             libpugixml-dev libshp-dev clang-format lintian)
else
  packages+=(python3-dbfread python3-dbf)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The window tests need zh_CN.UTF-8 (Wine's code page 936); the console tests read standard output
# under both Chinese locales.
if [ "${1:-test}" = "test" ]; then
  generate=false
  for wanted in "zh_CN.UTF-8 UTF-8" "zh_CN.GBK GBK"; do
    name=${wanted% *}  # listed by locale -a as zh_CN.utf8, zh_CN.gbk
    if ! locale -a 2>/dev/null | grep -qix "${name//-/}"; then
      sed -i "s/^# *$wanted\$/$wanted/" /etc/locale.gen
      grep -qx "$wanted" /etc/locale.gen || echo "$wanted" >> /etc/locale.gen
      generate=true
    fi
  done
  if $generate; then locale-gen >/dev/null; fi
fi
