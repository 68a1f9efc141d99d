#!/usr/bin/env bash
# The demo: a local gateway simulator feeds a generated trading day to fenwright, which writes the
# six DBF files. Builds what it needs, runs both for about half a minute in demo-run/, stops them
# and shows what was produced.
#   tools/demo.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/gateway_run.sh
. tools/gateway_run.sh
tools/setup.sh demo
seconds=${1:-30}

echo "== building fenwright, the gateway simulator and the sample-day generator"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target fenwright_console fenwright-gateway fenwright-sampleday >/dev/null

run=$PWD/demo-run
rm -rf "$run"
mkdir -p "$run/xml"
cp build/linux/ui/fenwright "$run/"
echo "== generating a sample trading day (2,000 securities) in $run/xml"
build/linux/tools/fenwright-sampleday --out "$run/xml/" --count 2000 >/dev/null

echo "== starting the gateway simulator on 127.0.0.1"
start_gateway build/linux/tools/fenwright-gateway "$run/gateway.out" --count 2000 --rounds 40 \
  --rate 4000
trap 'kill $gateway 2>/dev/null || true' EXIT

# The ini sits beside the executable.
write_run_ini "$run/fenwright.ini" DEMO 5 2000 500

echo "== running fenwright --start for $seconds s (its output: $run/fenwright.out)"
(cd "$run" && exec ./fenwright --start >fenwright.out 2>&1) &
fenwright=$!
sleep "$seconds"
kill -TERM $fenwright
wait $fenwright || true
kill $gateway 2>/dev/null || true
wait $gateway 2>/dev/null || true

echo
grep -E '^session|Logon' "$run/gateway.out" | head -4
echo
py=/usr/bin/python3; [ -x "$py" ] || py=python3
"$py" tools/demo_report.py "$run"
echo
echo "DBF files:  $run/*.dbf"
echo "run log:    $(ls "$run"/log/Tarvik_Log_*.log)"
echo "ini:        $run/fenwright.ini"
