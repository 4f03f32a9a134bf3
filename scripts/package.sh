#!/usr/bin/env bash
# Makes the Windows release from a clean checkout, into dist/:
#   KelvaraDictionary-<version>-x64.msi            per-machine installer (wixl)
#   KelvaraDictionary-<version>-x64-portable.zip   the same files and README.txt in a folder
# The version is the project's (CMakeLists.txt), as the build wrote it.
#
#   scripts/package.sh                      build, then package into dist/
#   scripts/package.sh --from DIR --version X.Y.Z --out DIR
#                                           package the files already in DIR (kelvara.exe,
#                                           kelvara-dict.exe, Data.db, kelvara.ico) as version
#                                           X.Y.Z, without building (the installer tests make a
#                                           "newer build" this way)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

from="" version="" out="$root/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --from) from=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "package.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

bash scripts/deps.sh

# Windows Installer compares major.minor.patch, each field within these bounds.
valid_version() {
  [[ $1 =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] &&
    [ "${BASH_REMATCH[1]}" -le 255 ] && [ "${BASH_REMATCH[2]}" -le 255 ] &&
    [ "${BASH_REMATCH[3]}" -le 65535 ]
}

stage=$root/build/package
if [ -z "$from" ]; then
  export KELVARA_JOBS=${KELVARA_JOBS:-2}
  bash scripts/build.sh kelvara kelvara-dict kelvara_data
  version=$(tr -d '[:space:]' < build/win/kelvara-version.txt)
  from=$stage/files
  rm -rf "$from"
  mkdir -p "$from"
  # Without the debugging information: the release is a few times smaller.
  x86_64-w64-mingw32-strip -o "$from/kelvara.exe" build/win/bin/kelvara.exe
  x86_64-w64-mingw32-strip -o "$from/kelvara-dict.exe" build/win/bin/kelvara-dict.exe
  cp build/win/bin/Data.db "$from/Data.db"
  cp build/win/resources/kelvara.ico "$from/kelvara.ico"
fi
from=$(cd "$from" && pwd)
valid_version "$version" || { echo "package.sh: bad version '$version'" >&2; exit 2; }
for f in kelvara.exe kelvara-dict.exe Data.db kelvara.ico; do
  [ -f "$from/$f" ] || { echo "package.sh: $from/$f is missing" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
name=KelvaraDictionary-$version-x64

# One product code per version, the same whenever that version is packaged again: a newer
# version is then a major upgrade of an older one, and a package can be removed by its code.
upgrade_code=D1FC3F8E-31E5-4E1A-873E-BADF71CFAEA2
product_code=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), "KelvaraDictionary " + sys.argv[2])).upper())' \
  "$upgrade_code" "$version")

# wixl finds files by relative paths only: it runs in the folder of the files.
rm -f "$out/$name.msi"
(cd "$from" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" \
  -D Icon=kelvara.ico -o "$out/$name.msi" "$root/installer/KelvaraDictionary.wxs")

# The portable zip: one folder holding the programs, the dictionary and README.txt (UTF-8 with a
# byte order mark and CRLF line ends, so that every Notepad shows the Persian text).
portable=$stage/portable-$version/KelvaraDictionary-$version
rm -rf "$(dirname "$portable")"
mkdir -p "$portable"
cp "$from/kelvara.exe" "$from/kelvara-dict.exe" "$from/Data.db" "$portable/"
{
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' installer/README.txt.in
} > "$portable/README.txt"
rm -f "$out/$name-portable.zip"
(cd "$(dirname "$portable")" && zip -q -r -X "$out/$name-portable.zip" "$(basename "$portable")")

echo "$out/$name.msi"
echo "$out/$name-portable.zip"
