#!/bin/sh
# Runs a window test binary and takes the screenshots it asks for: the binary writes
# NAME.shot-request into the working folder when its window shows what is to be seen, and waits for
# NAME.shot-done; this script then saves the display as NAME.png beside it.
#   run_with_screenshots.sh [emulator] test.exe
# Exits 77 (skipped) without a display.
[ -n "${DISPLAY:-}" ] || { echo "no display: window tests skipped"; exit 77; }

FW_SCREENSHOTS=1
export FW_SCREENSHOTS
rm -f ./*.shot-request ./*.shot-done
"$@" &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  for request in ./*.shot-request; do
    [ -e "$request" ] || continue
    name=${request%.shot-request}
    if command -v import >/dev/null 2>&1; then
      import -window root "$name.png" || echo "screenshot $name.png failed"
    fi
    rm -f "$request"
    : > "$name.shot-done"
  done
  sleep 0.1
done
wait "$pid"
