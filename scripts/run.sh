#!/usr/bin/env bash
# Starts Kelvara Dictionary under Wine with the bundled dictionary. Without a display it starts a
# virtual one, says so, and saves a screenshot of the running program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null

source scripts/wine-env.sh
virtual=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export KELVARA_DISPLAY=$DISPLAY
else
  virtual=1
  echo "No display found: starting a virtual one (Xvfb)."
fi
trap wine_env_stop EXIT
wine_env_start

cd build/win/bin
wine kelvara.exe "$@" &
pid=$!
if [ "$virtual" -eq 1 ]; then
  mkdir -p "$OLDPWD/build/screenshots"
  shot="$OLDPWD/build/screenshots/kelvara.png"
  # A loaded machine can take a while to bring Wine up: wait for the window, not a fixed time.
  for _ in $(seq 1 60); do
    xdotool search --name "Kelvara Dictionary" >/dev/null 2>&1 && break
    sleep 0.5
  done
  sleep 1
  import -window root "$shot" 2>/dev/null && echo "The program is running on virtual display $DISPLAY; screenshot saved to $shot"
  echo "Press Ctrl+C to end it."
fi
wait "$pid"
