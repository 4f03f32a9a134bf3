#!/usr/bin/env bash
# Runs every test: native unit tests, the same under ASan+UBSan, short fuzz runs, then the
# Windows tests and the end-to-end tests under Wine on a private virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${KELVARA_JOBS:-$(nproc)}

bash scripts/build.sh

echo "== layering of src/: includes run one way, no cycle"
python3 scripts/check-layers.py

echo "== native unit tests"
ctest --test-dir build/native -j "$jobs" --output-on-failure

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVARA_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -j "$jobs" --output-on-failure -LE bench

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== short fuzz runs"
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVARA_FUZZ=ON >/dev/null
  cmake --build build/fuzz -j "$jobs" --target kelvara_fuzzers
  ctest --test-dir build/fuzz -j "$jobs" --output-on-failure -L fuzz
fi

echo "== Windows and end-to-end tests under Wine"
source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start
wine_env_keep_server
# The GUI tests share one desktop (focus, foreground, notification area): one at a time.
ctest --test-dir build/win -j 1 --output-on-failure
