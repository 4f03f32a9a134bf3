#!/usr/bin/env bash
# Builds everything: the native tools and tests (build/native), then kelvara.exe, the Windows
# tools and tests with mingw-w64 (build/win). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=${KELVARA_JOBS:-$(nproc)}

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs"

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DKELVARA_DICT_TOOL="$PWD/build/native/bin/kelvara-dict" >/dev/null
cmake --build build/win -j "$jobs"
