#!/usr/bin/env bash
# A dictionary written by the Windows tool (CNG, under Wine) opens with the native one (OpenSSL)
# and the other way round, and both tools print the same bytes for every command.
# Usage: cross-tool.sh NATIVE_TOOL WINDOWS_TOOL WINE_RUN SOURCE.tsv WORK_DIR
set -euo pipefail
native=$1 windows=$2 wine_run=$3 source=$4 work=$5
# Wine turns arguments into UTF-16 by the locale's character set.
export LC_ALL=C.UTF-8
rm -rf "$work" && mkdir -p "$work"
fail=0

win() { bash "$wine_run" "$windows" "$@"; }

"$native" build "$source" "$work/native.db" >/dev/null
win build "$source" "$work/windows.db" >/dev/null
[ -s "$work/windows.db" ] || { echo "the Windows tool wrote no dictionary"; exit 1; }

same() {  # label, then the two files to compare
  if cmp -s "$2" "$3"; then
    echo "same: $1"
  else
    echo "DIFFERENT: $1"; diff <(od -c "$2") <(od -c "$3") | head -20; fail=1
  fi
}

words=("ab" "AB" "c?t" "cat " "[a-c]*" "#" "کت" "éc" "it's" "zebra" "[a" "")
for db in native windows; do
  for tool in native windows; do
    run=("$native"); [ $tool = windows ] && run=(win)
    "${run[@]}" verify "$work/$db.db" >/dev/null || { echo "$tool verify failed on $db.db"; fail=1; }
    "${run[@]}" dump "$work/$db.db" >"$work/dump-$db-$tool.txt"
    "${run[@]}" info "$work/$db.db" | grep -v '^file size' >"$work/info-$db-$tool.txt"
    i=0
    for w in "${words[@]}"; do
      "${run[@]}" lookup "$work/$db.db" "$w" >"$work/lookup-$db-$tool-$i.txt"
      i=$((i + 1))
    done
  done
  same "dump of $db.db" "$work/dump-$db-native.txt" "$work/dump-$db-windows.txt"
  same "info of $db.db" "$work/info-$db-native.txt" "$work/info-$db-windows.txt"
  for i in "${!words[@]}"; do
    same "lookup '${words[$i]}' in $db.db" "$work/lookup-$db-native-$i.txt" "$work/lookup-$db-windows-$i.txt"
  done
done
same "dump of both dictionaries" "$work/dump-native-native.txt" "$work/dump-windows-native.txt"

# The lookups say something: the tools could agree on nothing.
grep -qx "abandon" "$work/lookup-windows-native-0.txt" || { echo "lookup 'ab' found no abandon"; fail=1; }
grep -q "گربه" "$work/lookup-native-windows-2.txt" || { echo "lookup 'c?t' lost the Persian meaning"; fail=1; }
grep -qx "کتاب" "$work/lookup-windows-windows-6.txt" || { echo "the Persian argument did not arrive"; fail=1; }

# Exit codes agree too: a missing file.
set +e
"$native" lookup "$work/none.db" a >/dev/null 2>&1; n=$?
win lookup "$work/none.db" a >/dev/null 2>&1; w=$?
set -e
[ "$n" = 1 ] && [ "$w" = 1 ] || { echo "missing file: native exit $n, Windows exit $w (want 1)"; fail=1; }

[ $fail = 0 ] && echo "cross-tool: all agree"
exit $fail
