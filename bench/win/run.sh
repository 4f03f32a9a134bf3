#!/usr/bin/env bash
# Builds and runs the main window's benchmarks under Wine, on a private display and in the
# project's Wine prefix, on a dictionary of 300,000 headwords from wamerican-huge:
#   1. opening Data.db, step by step (big and bundled dictionary);
#   2. the word box's lookup in the main window against a plain list box;
#   3. start-up to the main window shown against a trivial window.
# Parts 2 and 3 run twice: with the prefix's theme as it is (Wine's default "Light" theme draws
# every scroll bar through uxtheme, which is slow), then with the theme switched off for the
# run and restored afterwards. The load average is printed around each part.
#   bench/win/run.sh [--headwords N] [--rounds N] [--naive-rounds N] [--letter-rounds N]
#                    [--words N] [--runs N] [--theme-only] [--no-build]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
headwords=300000
ui_args=()
start_args=()
classic=1
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --headwords) headwords=$2; shift 2 ;;
    --rounds|--naive-rounds|--letter-rounds|--words) ui_args+=("$1" "$2"); shift 2 ;;
    --runs) start_args+=("$1" "$2"); shift 2 ;;
    --theme-only) classic=0; shift ;;
    --no-build) build=0; shift ;;
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
  esac
done
jobs=${KELVARA_JOBS:-2}
word_list=/usr/share/dict/american-english-huge

if [ "$build" = 1 ]; then
  KELVARA_JOBS=$jobs bash scripts/build.sh kelvara kelvara_data kelvara-ui-bench \
    kelvara-open-bench kelvara-start-bench kelvara-bench-window kelvara-bench-window-cc6 \
    kelvara-bench-dict
fi

bin=$root/build/win/bin
data=$root/build/win/bench-data
mkdir -p "$data/big" "$data/empty"
rm -f "$data/empty/"*

source scripts/wine-env.sh
export KELVARA_DISPLAY_FIRST=${KELVARA_DISPLAY_FIRST:-170}
theme_key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
theme_saved=$WINEPREFIX/.kelvara-bench-theme
# Puts the theme back as it was, also after a run that was cut short.
restore_theme() {
  if [ -f "$theme_saved" ]; then
    wine reg add "$theme_key" /v ThemeActive /d "$(cat "$theme_saved")" /f >/dev/null 2>&1 &&
      rm -f "$theme_saved"
  fi
}
finish() {
  restore_theme || true
  wine_env_stop
}
trap finish EXIT
wine_env_start
restore_theme
winpath() { winepath -w "$1" 2>/dev/null; }
load() { uptime | sed 's/.*load average/load average/'; }

# The big dictionary is made once per size and kept; the generator is deterministic.
stamp="$data/big/headwords"
if [ ! -f "$data/big/Data.db" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$headwords" ] ||
   [ "$data/big/Data.db" -ot "$bin/kelvara-bench-dict.exe" ]; then
  rm -f "$data/big/Data.db" "$stamp"
  wine "$bin/kelvara-bench-dict.exe" "$(winpath "$word_list")" "$headwords" \
    "$(winpath "$data/big/Data.db")"
  echo "$headwords" >"$stamp"
fi

echo "== opening Data.db, $headwords headwords ($(load))"
wine "$bin/kelvara-open-bench.exe" "$(winpath "$data/big/Data.db")"
echo "== opening Data.db, bundled ($(load))"
wine "$bin/kelvara-open-bench.exe" "$(winpath "$bin/Data.db")"

# $2: more arguments for the lookup benchmark, before the caller's own.
ui_and_start() {
  echo "== lookup in the main window, $1 ($(load))"
  wine "$bin/kelvara-ui-bench.exe" "$(winpath "$data/big")" ${2:-} ${ui_args[@]+"${ui_args[@]}"}
  echo "== start-up, $1 ($(load))"
  wine "$bin/kelvara-start-bench.exe" "$(winpath "$bin/kelvara.exe")" "$(winpath "$data/big")" \
    "$(winpath "$data/empty")" "$(winpath "$bin/kelvara-bench-window.exe")" \
    "$(winpath "$bin/kelvara-bench-window-cc6.exe")" \
    ${start_args[@]+"${start_args[@]}"}
}

theme=$(wine reg query "$theme_key" /v ThemeActive 2>/dev/null | tr -d '\r' |
        awk '$1 == "ThemeActive" { print $NF }')
# Themed, one fill of the plain list with its drawing on takes minutes: it is timed once.
themed_args=""
[ "${theme:-0}" != 0 ] && themed_args="--naive-rounds 1"
ui_and_start "theme as configured (ThemeActive=${theme:-unset})" "$themed_args"
if [ "$classic" = 1 ] && [ "${theme:-0}" != 0 ]; then
  echo "$theme" >"$theme_saved"
  wine reg add "$theme_key" /v ThemeActive /d 0 /f >/dev/null 2>&1
  ui_and_start "theme switched off (classic drawing)"
  restore_theme
fi
echo "== done ($(load))"
