#!/usr/bin/env bash
# Builds everything: the native tools and tests (build/native), then kelvara.exe, the Windows
# tools and tests with mingw-w64 (build/win). Installs what is missing first.
#   scripts/build.sh [TARGET...]   only these Windows targets (and the native kelvara-dict that
#                                  the Windows build needs to make Data.db)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=${KELVARA_JOBS:-$(nproc)}

native_targets=()
win_targets=()
if [ $# -gt 0 ]; then
  native_targets=(--target kelvara-dict)
  win_targets=(--target "$@")
fi

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs" "${native_targets[@]}"

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DKELVARA_DICT_TOOL="$PWD/build/native/bin/kelvara-dict" >/dev/null
cmake --build build/win -j "$jobs" "${win_targets[@]}"
