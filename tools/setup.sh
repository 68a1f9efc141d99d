#!/usr/bin/env bash
# Installs (apt-get, as root) whatever the build, the tests and the demo need and is missing.
#   tools/setup.sh [demo|test]
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest libbenchmark-dev python3)
if [ "${1:-test}" = "test" ]; then
  packages+=(clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool
             imagemagick fonts-wqy-microhei fonts-wine locales evilwm python3-dbfread python3-dbf
             libpugixml-dev libshp-dev clang-format)
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

if [ "${1:-test}" = "test" ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
