#!/usr/bin/env bash
# Builds and runs the engine benchmark (native, optimised): our engine and SQLite on 300,000
# headwords from wamerican-huge, with ratios. Usage: bench/run.sh [WORD_LIST] [HEADWORDS]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "${KELVARA_JOBS:-2}" --target kelvara-bench
exec build/native/bin/kelvara-bench "$@"
