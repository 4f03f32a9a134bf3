#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix and display (ctest's emulator).
# The display and prefix come from wine_env_start (scripts/wine-env.sh) of the calling script.
KELVARA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-${KELVARA_WINEPREFIX:-$KELVARA_ROOT/build/wine/prefix}}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no DISPLAY; run through scripts/test.sh, which starts one" >&2
  exit 2
fi
exec wine "$@"
