#!/usr/bin/env bash
# Builds and runs the main window's keystroke benchmark under Wine on a private display.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build build/win -j "${KELVARA_JOBS:-2}" --target kelvara-keystroke-bench
source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start
wine build/win/bin/kelvara-keystroke-bench.exe "${1:-300000}"
