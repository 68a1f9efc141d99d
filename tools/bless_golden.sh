#!/bin/bash
# Writes the golden day's expected files again from its capture: the replay at the three moments
# the golden test checks. Run it after an intended change of output and commit the files it
# rewrote beside that change.
#
#   tools/bless_golden.sh [BUILD_DIR]     (default build/linux)
#
# The settings are the golden test's: the day's reference files in tests/golden/xml/ and the six
# files under their default names.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/linux}" && pwd)
golden=$here/tests/golden
capture=$(ls "$golden"/binaryData_*.dat)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/golden.ini" <<INI
[xmlfile]
loadFolder = $golden/xml/
[other]
holiday = $golden/xml/holiday.ini
IndexNameFile = $golden/xml/indexname.ini
INI

rm -rf "$golden/expected"
# The moments, as the golden test lists them: a morning time, a time before the close, the end of
# the day with the closing file.
"$build/tools/fenwright-replay" "$capture" --ini "$work/golden.ini" \
  --out "$golden/expected/at_103000" --at 10:30:00
"$build/tools/fenwright-replay" "$capture" --ini "$work/golden.ini" \
  --out "$golden/expected/at_144500" --at 14:45:00
"$build/tools/fenwright-replay" "$capture" --ini "$work/golden.ini" \
  --out "$golden/expected/closing" --closing
du -sh "$golden"
