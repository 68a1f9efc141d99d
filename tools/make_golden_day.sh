#!/bin/bash
# Makes the golden day of the tests again: a generated day of a few hundred securities, played by
# the gateway simulator to the fenwright program with the raw capture on. The first connection is
# dropped in the middle of a frame and the client connects again; runs of garbage stand between
# frames. What the program captured becomes tests/golden/binaryData_<date>.dat beside the day's
# reference files, then tools/bless_golden.sh writes the expected files from it.
#
#   tools/make_golden_day.sh [BUILD_DIR]     (default build/linux, built with the tools)
#
# The program looks for the reference files of the machine's date, so it gets a copy of the day's
# files under today's names; the capture holds the generated day's own timestamps and is named by
# that day. Needs loopback only; takes a few seconds.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/linux}" && pwd)
golden=$here/tests/golden
day=20260305
count=300
seed=11
rounds=6
drop_after=150001
garbage_every=97

work=$(mktemp -d)
fenwright_pid=""
gateway=""
cleanup() {
  [ -n "$fenwright_pid" ] && kill "$fenwright_pid" 2>/dev/null || true
  [ -n "$gateway" ] && kill "$gateway" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/fenwright-sampleday" --out "$work/xml" --count "$count" --date "$day" \
  --seed "$seed" >/dev/null
today=$(date +%Y%m%d)
mkdir -p "$work/live/xml" "$work/capture"
for file in "$work"/xml/*_"$day".xml; do
  name=$(basename "$file" "_$day.xml")
  cp "$file" "$work/live/xml/${name}_$today.xml"
done
cp "$work/xml/indexname.ini" "$work/xml/holiday.ini" "$work/live/xml/"

# shellcheck source=tools/gateway_run.sh
. "$here/tools/gateway_run.sh"
start_gateway "$build/tools/fenwright-gateway" "$work/gateway.log" --count "$count" \
  --date "$day" --seed "$seed" --rounds "$rounds" --rate full --drop-after "$drop_after" \
  --faulty-sessions 1 --garbage-every "$garbage_every"

write_run_ini "$work/live/fenwright.ini" GOLDEN 600 200 50
cat >>"$work/live/fenwright.ini" <<INI
[binary]
savefile = $work/capture/
savefileflag = true
INI

(cd "$work/live" && exec "$build/ui/fenwright" --ini "$work/live/fenwright.ini" --start \
  >"$work/fenwright.out" 2>&1) &
fenwright_pid=$!

# The second connection plays the whole day; then the capture stops growing.
for _ in $(seq 1200); do
  grep -q "session 2: whole source sent" "$work/gateway.log" && break
  sleep 0.1
done
grep -q "session 2: whole source sent" "$work/gateway.log" || {
  echo "the day was not played"; cat "$work/gateway.log" "$work/fenwright.out"; exit 1; }
capture="$work/capture/binaryData_$today.dat"
size=-1
while [ "$(stat -c %s "$capture")" != "$size" ]; do
  size=$(stat -c %s "$capture")
  sleep 1
done
kill -INT "$fenwright_pid"
wait "$fenwright_pid" || true
fenwright_pid=""

rm -rf "$golden"
mkdir -p "$golden/xml"
cp "$capture" "$golden/binaryData_$day.dat"
cp "$work"/xml/* "$golden/xml/"
grep "session" "$work/gateway.log"
"$here/tools/bless_golden.sh" "$build"
