#!/usr/bin/env bash
# Import benchmark: `kelvara-dict import` of dict-freedict-eng-deu (464,228 headwords, dictzip)
# against a peer doing comparable work on the same files in the same run: `dictzip -d` of the
# definitions plus a sort of the index's headwords. Each is run ROUNDS times, alternating, and
# the medians compared: wall and CPU (user + system, of every thread) seconds, peak memory
# (resident set), the output file's size. The import uses a second core when there is one, so
# its CPU may exceed its wall time; the load average before and after tells how busy the machine
# was. Goals: the import within 3x the peer and within 20 s; its peak memory
# within twice the output file. Figures, not a pass/fail test.
# When kelvara-import-dump is built beside kelvara-dict (tests/unit/import), the dictd reader
# alone is timed too: what of the import is reading, what is merging and writing.
# With BEFORE=path/to/another/kelvara-dict (say, main's), that one is timed too, alternating in
# the same rounds, so that before and after share the machine's load.
# Usage: [BEFORE=KELVARA_DICT] bench/import-bench.sh [KELVARA_DICT] [ROUNDS] [INDEX]
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build/native/bin/kelvara-dict}
rounds=${2:-3}
index=${3:-/usr/share/dictd/freedict-eng-deu.index}
dict=${index%.index}.dict.dz
before=${BEFORE:-}
for need in "$tool" "$index" "$dict" /usr/bin/time ${before:+"$before"}; do
  [ -e "$need" ] || { echo "missing: $need (bash scripts/deps.sh; cmake --build build/native)"; exit 1; }
done
command -v dictzip >/dev/null || { echo "missing: dictzip (bash scripts/deps.sh)"; exit 1; }

reader=$(dirname "$tool")/kelvara-import-dump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
measure() {  # measure NAME COMMAND...: appends "wall cpu peak_kb" to $work/NAME.runs
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >"$work/$name.out" 2>&1 || {
    echo "failed: $*"; cat "$work/$name.out"; exit 1; }
  read -r wall user sys peak <"$work/time"
  echo "$wall $(echo "$user + $sys" | bc -l) $peak" >>"$work/$name.runs"
}
# The peer: unpack every definition, sort every headword.
peer() { dictzip -dc "$dict" >"$work/unpacked" && cut -f1 "$index" | LC_ALL=C.UTF-8 sort >"$work/sorted"; }
export -f peer
export work dict index

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((r = 1; r <= rounds; r++)); do
  rm -f "$work/out.db"
  measure peer bash -c peer
  rm -f "$work/unpacked" "$work/sorted"
  measure import "$tool" import "$work/out.db" "$index"
  if [ -n "$before" ]; then
    rm -f "$work/before.db"
    measure before "$before" import "$work/before.db" "$index"
  fi
  if [ -x "$reader" ]; then measure reader "$reader" --count "$index"; fi
done
size=$(stat -c %s "$work/out.db")
grep -m1 "Imported" "$work/import.out" || true
load=$(cut -d' ' -f1-3 /proc/loadavg)

median() {  # median COLUMN FILE
  cut -d' ' -f"$1" "$2" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}
iw=$(median 1 "$work/import.runs"); ic=$(median 2 "$work/import.runs"); im=$(median 3 "$work/import.runs")
pw=$(median 1 "$work/peer.runs"); pc=$(median 2 "$work/peer.runs"); pm=$(median 3 "$work/peer.runs")
printf 'import %s (%s rounds, medians; load average before %s, after %s)\n' "$(basename "$index")" "$rounds" \
  "$load_before" "$load"
printf '  kelvara-dict import: %6.2f s wall  %6.2f s CPU  peak %5d MB\n' "$iw" "$ic" $((im / 1024))
printf '  peer (dictzip -d + sort): %6.2f s wall  %6.2f s CPU  peak %5d MB\n' "$pw" "$pc" $((pm / 1024))
if [ -x "$reader" ]; then
  rw=$(median 1 "$work/reader.runs"); rc=$(median 2 "$work/reader.runs"); rm_=$(median 3 "$work/reader.runs")
  printf '    of which reading alone: %6.2f s wall  %6.2f s CPU  peak %5d MB\n' "$rw" "$rc" $((rm_ / 1024))
fi
printf '  output file: %d MB\n' $((size / 1048576))
if [ -n "$before" ]; then
  bw=$(median 1 "$work/before.runs"); bc_=$(median 2 "$work/before.runs"); bm=$(median 3 "$work/before.runs")
  bsize=$(stat -c %s "$work/before.db")
  printf '  before (%s): %6.2f s wall  %6.2f s CPU  peak %5d MB; output %d MB\n' "$before" "$bw" "$bc_" \
    $((bm / 1024)) $((bsize / 1048576))
  printf '    ratios before: wall %.2fx the peer, CPU %.2fx the peer; peak memory %.2fx the output\n' \
    "$(echo "$bw / $pw" | bc -l)" "$(echo "$bc_ / $pc" | bc -l)" "$(echo "$bm * 1024 / $bsize" | bc -l)"
fi
printf '  ratios: wall %.2fx the peer (goal 3x), CPU %.2fx the peer; peak memory %.2fx the output (goal 2x)\n' \
  "$(echo "$iw / $pw" | bc -l)" "$(echo "$ic / $pc" | bc -l)" "$(echo "$im * 1024 / $size" | bc -l)"
