#!/usr/bin/env bash
# Long fuzzing runs: builds the targets with clang into build/fuzz and runs each for SECONDS
# (default 600), one after another, keeping the grown corpus in build/fuzz/fuzz/corpus/.
# Usage: fuzz/run-long.sh [SECONDS] [TARGET...]   (targets: reader table tsv search stardict dictd
#                                                dictzip markup dsl delimited)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(reader table tsv search stardict dictd dictzip markup dsl delimited)
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVARA_FUZZ=ON >/dev/null
for t in "${targets[@]}"; do
  cmake --build build/fuzz -j "${KELVARA_JOBS:-2}" --target "fuzz_$t"
  corpus=build/fuzz/fuzz/corpus/$t
  mkdir -p "$corpus"
  echo "== fuzz_$t for ${seconds}s"
  build/fuzz/bin/fuzz_$t -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    "$corpus" "fuzz/seeds/$t"
done
