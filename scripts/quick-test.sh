#!/usr/bin/env bash
# The everyday check, a few minutes instead of the full run: the folders' layering, the native
# unit tests, and chosen Windows tests under Wine (built first, nothing else is built).
#   scripts/quick-test.sh                   the toolkit's, the forms' and the main window's tests
#   scripts/quick-test.sh REGEX             the Windows tests whose names match (ctest -R)
#   scripts/quick-test.sh --native          no Wine: layering and native unit tests only
# Before a commit that touches several areas, run the full `bash scripts/test.sh`.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${KELVARA_JOBS:-$(nproc)}
native_only=0
pattern='^(win_toolkit_tests|win_forms_tests|win_app_tests|win_services_tests)$'
case "${1:-}" in
  --native) native_only=1 ;;
  -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
  '') ;;
  *) pattern=$1 ;;
esac

echo "== layering of src/"
python3 scripts/check-layers.py

echo "== native unit tests"
bash scripts/deps.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native -j "$jobs" --output-on-failure -LE bench
[ "$native_only" = 1 ] && exit 0

echo "== Windows tests matching $pattern"
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DKELVARA_DICT_TOOL="$PWD/build/native/bin/kelvara-dict" >/dev/null
# A test program's name is its target's; other tests (end-to-end, cross-tool) need the whole build.
mapfile -t names < <(ctest --test-dir build/win -N -R "$pattern" | sed -n 's/^ *Test *#[0-9]*: //p')
if [ ${#names[@]} -eq 0 ]; then
  echo "no Windows test matches $pattern" >&2
  exit 2
fi
all_targets=$(cmake --build build/win --target help | sed -n 's/^\([^ :]*\): .*/\1/p')
targets=(kelvara kelvara_data)
for name in "${names[@]}"; do
  if grep -qx -- "$name" <<<"$all_targets"; then
    targets+=("$name")
  else
    targets=(all)
    break
  fi
done
# kelvara.exe and its Data.db too: some tests start the real program.
cmake --build build/win -j "$jobs" --target "${targets[@]}"
source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start
wine_env_keep_server
ctest --test-dir build/win -j 1 --output-on-failure -R "$pattern"
