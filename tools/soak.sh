#!/usr/bin/env bash
# The load and soak run: a generated 20,000-security day played by the gateway simulator at ten
# times a busy day's message rate into fenwright (console, --start, a write cycle every second),
# with fenwright-dbfwatch reading the six DBF files the whole time as another process. At the end
# it reports the messages applied per second, the write-cycle times (median, worst), the receive
# thread's longest wait for the market state, peak memory and its growth, and what the concurrent
# reads found.
#
#   tools/soak.sh MINUTES
#
# A busy day: 20,000 securities, each with a snapshot every 3 s, is about 7,000 messages a second;
# the run plays 70,000 a second (SOAK_RATE to change it). The day has rounds enough to last the
# whole run. It has no closing file, so that the quotes stay live whatever the hour: after 15:01
# the closing data would otherwise be loaded and freeze them.
#
# Everything lives in soak-run/ (SOAK_RUN_DIR); the build in build/soak (SOAK_BUILD_DIR, linux
# preset). Needs python3 for the report.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/gateway_run.sh
. tools/gateway_run.sh
minutes=${1:?usage: tools/soak.sh MINUTES}
rate=${SOAK_RATE:-70000}
securities=20000
build=${SOAK_BUILD_DIR:-build/soak}
run=${SOAK_RUN_DIR:-$PWD/soak-run}
# The reader's pause between two rounds over the six files: it reads continuously, but leaves the
# two cores to fenwright and the simulator most of the time.
watch_pause_ms=${SOAK_WATCH_PAUSE_MS:-100}

echo "== building fenwright, the simulator, the sample-day generator and the reader ($build)"
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" -j2 --target fenwright_console fenwright-gateway fenwright-sampleday \
  fenwright-dbfwatch >/dev/null

rm -rf "$run"
mkdir -p "$run/xml"
cp "$build/ui/fenwright" "$run/"
today=$(date +%Y%m%d)
echo "== generating a $securities-security day for $today"
"$build/tools/fenwright-sampleday" --out "$run/xml/" --count $securities --date "$today" >/dev/null
rm -f "$run"/xml/cashsecurityclosemd_*.xml
# Rounds for the whole run, with room to spare: one round is about one message per security.
rounds=$(( minutes * 60 * rate * 5 / (securities * 4) + 20 ))

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

echo "== the gateway simulator: $rounds rounds at $rate messages/s"
start_gateway "$build/tools/fenwright-gateway" "$run/gateway.out" --count $securities \
  --date "$today" --rounds $rounds --rate "$rate" --report-every 10
pids+=("$gateway")

write_run_ini "$run/fenwright.ini" SOAK 30 1000 100

echo "== fenwright --start --report-cycles for $minutes min (output: $run/fenwright.out)"
(cd "$run" && exec ./fenwright --start --report-cycles >fenwright.out 2>&1) &
fenwright=$!
pids+=("$fenwright")

files=()
for f in SJSXXN SJSXX SJSHQ SJSZS SJSPHHQ SJSZHHQ; do files+=("$run/$f.dbf"); done
"$build/tools/fenwright-dbfwatch" --pause-ms "$watch_pause_ms" --report-every 60 "${files[@]}" \
  >"$run/watch.out" 2>&1 &
watcher=$!
pids+=("$watcher")

# Memory of fenwright every 5 s: seconds since the start, VmRSS and VmHWM in kB.
echo "seconds rss_kb hwm_kb" >"$run/memory.txt"
start=$(date +%s)
end=$(( start + minutes * 60 ))
while [ "$(date +%s)" -lt "$end" ]; do
  kill -0 "$fenwright" 2>/dev/null || { echo "fenwright ended early"; break; }
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$fenwright/status" 2>/dev/null || echo 0)
  hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$fenwright/status" 2>/dev/null || echo 0)
  echo "$(( $(date +%s) - start )) $rss $hwm" >>"$run/memory.txt"
  sleep 5
done

echo "== stopping"
fenwright_status=0
kill -TERM "$fenwright" 2>/dev/null || true
wait "$fenwright" || fenwright_status=$?
kill -TERM "$watcher" 2>/dev/null || true
watch_status=0
wait "$watcher" || watch_status=$?
kill -TERM "$gateway" 2>/dev/null || true
wait "$gateway" 2>/dev/null || true
trap - EXIT

echo "fenwright exit status $fenwright_status, reader exit status $watch_status" >"$run/status.txt"
py=/usr/bin/python3; [ -x "$py" ] || py=python3
"$py" tools/soak_report.py "$run" "$rate" | tee "$run/report.txt"
