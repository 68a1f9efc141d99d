# shellcheck shell=bash
# Sourced by the scripts that run fenwright against the gateway simulator in a scratch folder.
#
# start_gateway PROGRAM LOG [OPTION...]: starts the simulator on a free loopback port with the
# options given, its output in LOG, and waits until it listens. Sets $gateway (its process id) and
# $port. Ends the script when the simulator does not listen within a minute.
start_gateway() {
  local program=$1 log=$2
  shift 2
  "$program" --port 0 "$@" >"$log" 2>&1 &
  gateway=$!
  port=""
  for _ in $(seq 600); do
    port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && return 0
    kill -0 "$gateway" 2>/dev/null || break
    sleep 0.1
  done
  kill "$gateway" 2>/dev/null || true
  echo "the gateway simulator did not start"
  cat "$log"
  exit 1
}

# write_run_ini FILE SENDER HEARTBT WRITE_INTERVAL WR_INTERVAL_SLEEP: the ini beside fenwright for a
# run against the simulator at $port, with the day's files in .\xml\ of the run folder. The
# window is the whole day and holidays are worked, so that the run goes at any hour on any day.
write_run_ini() {
  cat >"$1" <<INI
[binary]
ip = 127.0.0.1
port = $port
begintime = 0
endtime = 2359
[logon]
sender = $2
target = GATEWAY
heartbt = $3
ver = 1.10
[xmlfile]
loadFolder = .\\xml\\
[dbffile]
writeInterval = $4
wrIntervalSleep = $5
[other]
holiday = .\\xml\\holiday.ini
IndexNameFile = .\\xml\\indexname.ini
useholiday = true
INI
}
