#!/usr/bin/env bash
# The full soak: kelvara.exe through 500 tray cycles, 10,000 lookups, 2,000 clipboard changes
# and 200 dialog openings in one run (24 minutes on two busy cores), its objects and memory
# counted before and after each workload. CI runs a tenth of it (the e2e case soak_short).
# The last run's figures: tests/soak/README.md.
#   tests/soak/run.sh [--no-build]
# Uses a Wine prefix and display of its own (build/wine/soak-prefix), so it can run beside the
# other tests. Figures: build/win/soak-artifacts/soak-figures.json, and the output.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
if [ "${1:-}" != "--no-build" ]; then
  KELVARA_JOBS=${KELVARA_JOBS:-2} bash scripts/build.sh kelvara kelvara_data kelvara-probe \
    kelvara-e2e-pinger
fi
export KELVARA_WINEPREFIX=${KELVARA_WINEPREFIX:-$root/build/wine/soak-prefix}
export KELVARA_DISPLAY_FIRST=${KELVARA_DISPLAY_FIRST:-120}
source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start
wine_env_keep_server
artifacts=$root/build/win/soak-artifacts
mkdir -p "$artifacts"
python3 -u tests/e2e/soak_e2e.py --bin build/win/bin --artifacts "$artifacts" \
  --dict-tool build/native/bin/kelvara-dict --case soak_full
