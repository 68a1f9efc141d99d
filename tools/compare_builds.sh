#!/usr/bin/env bash
# Runs the Linux build's fenwright and the Windows build's fenwright.exe (under Wine) on the same
# generated trading day and the same replayed capture of the feed, and compares the six DBF files
# they write byte for byte, apart from the bytes stamped with the local clock: the header's date
# (bytes 1-3), HQBSL5 of SJSHQ record 0, HQTIME of every SJSPHHQ record, HQSBSJ of SJSZHHQ record
# 0, XXGXSJ of every SJSXX and SJSXXN record and XXZQJC of their record 0. The stamped fields are
# found by name in each file's own field descriptors.
#
#   tools/compare_builds.sh [--linux BUILD] [--exe FENWRIGHT.EXE] [--work FOLDER] [--count N]
#
# How the run is made deterministic: both programs start with autostart, and the gateway is started
# only after a program's first write cycle (by then the closing file has been tried, if the clock
# says so), so both see the same bytes in the same state. The replayed capture carries one extra
# byte at which the gateway drops the connection; the program's files are taken after the gateway
# has gone and two more write cycles have ended. A run that straddles 15:01 or midnight is
# repeated once. Exit 0: the same files; 1: they differ or a run failed; 77: a build is missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
linux=$root/build/linux
exe=$root/build/windows/ui/fenwright.exe
work=$root/build/compare
count=300
while [ $# -gt 0 ]; do
  case "$1" in
    --linux) linux=$2; shift 2 ;;
    --exe) exe=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    *) echo "usage: $0 [--linux BUILD] [--exe FENWRIGHT.EXE] [--work FOLDER] [--count N]" >&2; exit 2 ;;
  esac
done
linux=$(cd "$linux" 2>/dev/null && pwd || echo "$linux")
for f in "$linux/ui/fenwright" "$linux/tools/fenwright-gateway" "$linux/tools/fenwright-sampleday"; do
  [ -x "$f" ] || { echo "skipped: $f is not built"; exit 77; }
done
[ -f "$exe" ] || { echo "skipped: $exe is not built"; exit 77; }
command -v wine >/dev/null || { echo "skipped: no wine"; exit 77; }
command -v python3 >/dev/null || { echo "skipped: no python3"; exit 77; }

# fenwright.exe is a window program: it needs a display.
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "skipped: no display and no xvfb-run"; exit 77; }
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --linux "$linux" --exe "$exe" --work "$work" --count "$count"
fi
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$exe")/.." && pwd)/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$' && export LANG=zh_CN.UTF-8

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: polls every 0.1 s; false on time-out.
wait_for() {
  local limit=$(( $1 * 10 )); shift
  for ((i = 0; i < limit; ++i)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
newer() { [ -e "$1" ] && [ "$1" -nt "$2" ]; }
gone() { ! kill -0 "$1" 2>/dev/null; }

today=$(date +%Y%m%d)
port=$(( 20000 + $$ % 20000 ))

# write_ini FOLDER PORT SAVEFLAG
# shellcheck disable=SC1003  # the backslashes are the paths' own
write_ini() {
  printf '%s\r\n' "[binary]" "ip = 127.0.0.1" "port = $2" 'savefile = .\' "savefileflag = $3" \
    "begintime = 0" "endtime = 2359" "[logon]" "sender = COMPARE" "target = GATEWAY" "heartbt = 30" \
    "ver = 1.02" "[xmlfile]" 'loadFolder = ..\day\' "[dbffile]" "writeInterval = 500" \
    "wrIntervalSleep = 100" "[other]" 'holiday = ..\day\holiday.ini' "useholiday = true" \
    'IndexNameFile = ..\day\indexname.ini' "autostart = true" > "$1/fenwright.ini"
}

# start_program KIND FOLDER: the program of that build, started in its folder; sets $program.
start_program() {
  if [ "$1" = linux ]; then
    (cd "$2" && exec ./fenwright </dev/null >run.log 2>&1) &
  else
    (cd "$2" && exec wine ./fenwright.exe </dev/null >run.log 2>&1) &
  fi
  program=$!
  pids+=("$program")
}

stop_program() {
  kill -TERM "$1" 2>/dev/null || true
  wait_for 30 gone "$1" || kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

echo "== sample day $today, $count securities"
rm -rf "$work"
mkdir -p "$work/day" "$work/capture"
"$linux/tools/fenwright-sampleday" --out "$work/day" --count "$count" --date "$today" --seed 5 >/dev/null

echo "== capture of a synthetic day (Linux build)"
cp "$linux/ui/fenwright" "$work/capture/"
write_ini "$work/capture" "$port" true
"$linux/tools/fenwright-gateway" --port "$port" --count "$count" --date "$today" --seed 5 --rounds 3 \
  --rate full >"$work/capture/gateway.log" 2>&1 &
gateway=$!
pids+=("$gateway")
start_program linux "$work/capture"
capture=$work/capture/binaryData_$today.dat
last=-1
stable=0
for ((i = 0; i < 120 && stable < 2; ++i)); do
  sleep 1
  size=$(stat -c %s "$capture" 2>/dev/null || echo 0)
  if [ "$size" -gt 0 ] && [ "$size" = "$last" ]; then stable=$((stable + 1)); else stable=0; fi
  last=$size
done
stop_program "$program"
kill "$gateway" 2>/dev/null || true
wait "$gateway" 2>/dev/null || true
[ "$stable" -ge 2 ] || { echo "FAILED: no complete capture ($capture)"; exit 1; }
bytes=$(stat -c %s "$capture")
cp "$capture" "$work/replay.dat"
printf '\377' >> "$work/replay.dat"
echo "   $bytes bytes captured"

# replay KIND: one build on the capture; its files stay in $work/KIND.
replay() {
  local dir=$work/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  if [ "$1" = linux ]; then cp "$linux/ui/fenwright" "$dir/"; else cp "$exe" "$dir/fenwright.exe"; fi
  port=$((port + 1))
  write_ini "$dir" "$port" false
  start_program "$1" "$dir"
  wait_for 120 test -e "$dir/SJSZHHQ.dbf" || { echo "FAILED: $1 wrote no files (see $dir/run.log)"; return 1; }
  "$linux/tools/fenwright-gateway" --port "$port" --replay "$work/replay.dat" --drop-after "$bytes" \
    --sessions 1 --rate full >"$dir/gateway.log" 2>&1 &
  local gw=$!
  pids+=("$gw")
  wait_for 120 gone "$gw" || { echo "FAILED: the replay to $1 did not end (see $dir/gateway.log)"; return 1; }
  grep -q "dropping the connection after $bytes feed bytes" "$dir/gateway.log" ||
    { echo "FAILED: the replay to $1 was not played whole (see $dir/gateway.log)"; return 1; }
  sleep 1
  touch "$dir/.mark1"
  wait_for 60 newer "$dir/SJSZHHQ.dbf" "$dir/.mark1" || { echo "FAILED: $1 stopped writing"; return 1; }
  touch "$dir/.mark2"
  wait_for 60 newer "$dir/SJSZHHQ.dbf" "$dir/.mark2" || { echo "FAILED: $1 stopped writing"; return 1; }
  stop_program "$program"
}

# Whether two local times YYYYMMDDHHMM lie on the same side of midnight and of 15:01.
same_side() {
  local a=$((10#${1:8:4} >= 1501)) b=$((10#${2:8:4} >= 1501))
  [ "${1:0:8}" = "${2:0:8}" ] && [ "$a" = "$b" ]
}

for _ in 1 2; do
  began=$(date +%Y%m%d%H%M)
  echo "== replay through the Linux build"
  replay linux
  echo "== replay through the Windows build under Wine"
  replay windows
  ended=$(date +%Y%m%d%H%M)
  same_side "$began" "$ended" && break
  echo "   the runs straddled 15:01 or midnight: once more"
done

python3 - "$work/linux" "$work/windows" <<'PY'
import struct
import sys

# Fields stamped with the local clock: (field name, record number or None for every record).
STAMPED = {
    'SJSHQ.dbf': [('HQBSL5', 0)],
    'SJSPHHQ.dbf': [('HQTIME', None)],
    'SJSZHHQ.dbf': [('HQSBSJ', 0)],
    'SJSXX.dbf': [('XXGXSJ', None), ('XXZQJC', 0)],
    'SJSXXN.dbf': [('XXGXSJ', None), ('XXZQJC', 0)],
    'SJSZS.dbf': [],
}

def fields_of(data):
    header_length, record_length = struct.unpack_from('<HH', data, 8)
    fields, offset, at = {}, 1, 32
    while at + 32 <= header_length and data[at] != 0x0D:
        name = bytes(data[at:at + 11]).split(b'\0')[0].decode('ascii', 'replace')
        fields[name] = (offset, data[at + 16])
        offset += data[at + 16]
        at += 32
    return header_length, record_length, fields

def masked(path, stamped):
    data = bytearray(open(path, 'rb').read())
    if len(data) < 32:
        return data, {}
    data[1:4] = b'\0\0\0'
    records = struct.unpack_from('<I', data, 4)[0]
    header_length, record_length, fields = fields_of(data)
    for name, record in stamped:
        if name not in fields:
            continue
        offset, length = fields[name]
        for r in ([record] if record is not None else range(records)):
            start = header_length + r * record_length + offset
            data[start:start + length] = b'#' * length
    return data, (header_length, record_length, fields)

failed = False
for name, stamped in STAMPED.items():
    a, layout = masked(f'{sys.argv[1]}/{name}', stamped)
    b, _ = masked(f'{sys.argv[2]}/{name}', stamped)
    if a == b:
        print(f'   {name}: {len(a)} bytes, the same')
        continue
    failed = True
    print(f'   {name}: DIFFERENT (Linux {len(a)} bytes, Windows {len(b)} bytes)')
    shown = 0
    for i in range(min(len(a), len(b))):
        if a[i] != b[i] and shown < 10:
            shown += 1
            where = f'offset {i}'
            if layout and i >= layout[0]:
                record, within = divmod(i - layout[0], layout[1])
                field = next((n for n, (o, l) in layout[2].items() if o <= within < o + l), '?')
                where += f' (record {record}, field {field})'
            print(f'      {where}: Linux {a[i]:#04x}, Windows {b[i]:#04x}')
sys.exit(1 if failed else 0)
PY
