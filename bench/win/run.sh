#!/usr/bin/env bash
# Builds and runs the main window's benchmarks under Wine, on a private display and in the
# project's Wine prefix, on a dictionary of 300,000 headwords from wamerican-huge, and on one of
# 1,000,000 headwords with meanings of about 200 bytes (over 200 MB; made here, kept in
# build/win/bench-data):
#   1. opening Data.db, step by step, and the private memory after 1,000 lookups (every
#      dictionary);
#   2. the word box's lookup in the main window against a plain list box;
#   3. start-up to the main window shown against a trivial window (300,000 and 1,000,000
#      headwords), then the private memory (RssAnon) of the started program against the
#      trivial window's, and of the program after 1,000 lookups set into its word box.
# Parts 2 and 3 start kelvara.exe as it is released: without its debugging information
# (scripts/package.sh strips it). Wine reads a program whose file alignment is not the page size
# into private memory whole, 17 MB of it debugging information otherwise; the start-up is also
# timed once with the build's own kelvara.exe, for comparison.
# Parts 2 and 3 run twice: with the prefix's theme as it is (Wine's default "Light" theme draws
# every scroll bar through uxtheme, which is slow), then with the theme switched off for the
# run and restored afterwards. The load average is printed around each part.
#   bench/win/run.sh [--headwords N] [--huge-headwords N] [--huge-meaning-bytes N] [--rounds N]
#                    [--naive-rounds N] [--letter-rounds N] [--words N] [--runs N] [--theme-only]
#                    [--classic-only] [--no-build]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
headwords=300000
huge_headwords=1000000
huge_meaning=200
themed=1
ui_args=()
start_args=()
classic=1
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --headwords) headwords=$2; shift 2 ;;
    --huge-headwords) huge_headwords=$2; shift 2 ;;
    --huge-meaning-bytes) huge_meaning=$2; shift 2 ;;
    --classic-only) themed=0; shift ;;
    --rounds|--naive-rounds|--letter-rounds|--words) ui_args+=("$1" "$2"); shift 2 ;;
    --runs) start_args+=("$1" "$2"); shift 2 ;;
    --theme-only) classic=0; shift ;;
    --no-build) build=0; shift ;;
    *) sed -n '2,20p' "$0" >&2; exit 2 ;;
  esac
done
jobs=${KELVARA_JOBS:-2}
word_list=/usr/share/dict/american-english-huge

if [ "$build" = 1 ]; then
  KELVARA_JOBS=$jobs bash scripts/build.sh kelvara kelvara_data kelvara-ui-bench \
    kelvara-open-bench kelvara-start-bench kelvara-bench-window kelvara-bench-window-cc6 \
    kelvara-bench-dict kelvara-word-box-driver
fi

bin=$root/build/win/bin
data=$root/build/win/bench-data
mkdir -p "$data/big" "$data/huge" "$data/empty" "$data/release"
rm -f "$data/empty/"*
# The program as released, with the bundled dictionary beside it.
x86_64-w64-mingw32-strip -o "$data/release/kelvara.exe" "$bin/kelvara.exe"
cp "$bin/Data.db" "$data/release/Data.db"
kelvara_exe=$data/release/kelvara.exe

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

# The big dictionaries are made once per size and kept; the generator is deterministic.
make_dictionary() {  # folder, headwords, meaning bytes
  local stamp="$1/headwords" want="$2 $3"
  if [ ! -f "$1/Data.db" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$want" ] ||
     [ "$1/Data.db" -ot "$bin/kelvara-bench-dict.exe" ]; then
    rm -f "$1/Data.db" "$stamp"
    wine "$bin/kelvara-bench-dict.exe" "$(winpath "$word_list")" "$2" "$(winpath "$1/Data.db")" "$3"
    echo "$want" >"$stamp"
  fi
}
make_dictionary "$data/big" "$headwords" 0
make_dictionary "$data/huge" "$huge_headwords" "$huge_meaning"

# Private memory (RssAnon) of a started program once its window shows: Wine's own counters read
# 0, so Linux's are read. The program is closed by its process id.
start_shown() {  # folder, exe, window title: the process id in $shown_pid
  (cd "$1" && exec wine "$2") >/dev/null 2>&1 &
  shown_pid=$!
  for _ in $(seq 100); do
    sleep 0.1
    xdotool search --name "^$3\$" >/dev/null 2>&1 && break
  done
  sleep 1
}
rss_kb() { awk '/^RssAnon:/ { print $2 }' "/proc/$1/status" 2>/dev/null || true; }
stop_shown() {
  kill "$shown_pid" 2>/dev/null || true
  wait "$shown_pid" 2>/dev/null || true
}
program_memory() {  # label, exe, folder, window title
  local rss
  start_shown "$3" "$2" "$4"
  rss=$(rss_kb "$shown_pid")
  stop_shown
  echo "$1: RssAnon ${rss:-?} kB"
}

# The same for the program after N lookups of random headwords set into its word box, against
# the goal of 10 MB + the headword index, and against the trivial window's RssAnon (KB).
memory_after_lookups() {  # folder, lookups, trivial window's RssAnon
  local started after out
  start_shown "$1" "$kelvara_exe" "Kelvara Dictionary"
  started=$(rss_kb "$shown_pid")
  out=$(wine "$bin/kelvara-word-box-driver.exe" "$(winpath "$1/Data.db")" --lookups "$2" 2>&1 | tr -d '\r')
  echo "$out"
  after=$(rss_kb "$shown_pid")
  stop_shown
  echo "kelvara, $(basename "$1") Data.db: RssAnon ${started:-?} kB after start, ${after:-?} kB after $2 lookups"
  echo "$out" | awk -v after="${after:-0}" -v base="${3:-0}" '/headword index/ {
    for (i = 1; i <= NF; ++i) if ($i == "index") index_mb = $(i + 1)
    goal = 10 + index_mb
    printf "goal: at most 10 MB + the index (%.1f MB) = %.1f MB: %.1f MB (%s); above the trivial window: %.1f MB (%s)\n",
      index_mb, goal, after / 1024, after / 1024 <= goal ? "met" : "NOT met",
      (after - base) / 1024, (after - base) / 1024 <= goal ? "met" : "NOT met"
  }'
}

# The open benchmark stops at each of its marks until told to go on, so that the private memory
# (RssAnon) of its process is read from Linux's /proc at that point.
open_bench() {  # Data.db
  local fifo out pid marks=0 seen
  fifo=$(mktemp -u) && mkfifo "$fifo"
  out=$(mktemp)
  wine "$bin/kelvara-open-bench.exe" "$(winpath "$1")" --marks <"$fifo" >"$out" 2>&1 &
  pid=$!
  exec 3>"$fifo"
  while kill -0 "$pid" 2>/dev/null; do
    seen=$(grep -c '^mark: ' "$out" || true)
    if [ "$seen" -gt "$marks" ]; then
      marks=$seen
      echo "$(grep '^mark: ' "$out" | tail -1 | cut -c7-): RssAnon $(awk '/^RssAnon:/ { print $2 }' "/proc/$pid/status") kB" >>"$out.memory"
      echo >&3
    fi
    sleep 0.2
  done
  exec 3>&-
  wait "$pid" || true
  grep -v '^mark: ' "$out"
  echo "private memory of the process (RssAnon, from /proc):"
  sed 's/^/  /' "$out.memory" 2>/dev/null || true
  rm -f "$fifo" "$out" "$out.memory"
}
echo "== opening Data.db, $huge_headwords headwords ($(load))"
open_bench "$data/huge/Data.db"
echo "== opening Data.db, $headwords headwords ($(load))"
open_bench "$data/big/Data.db"
echo "== opening Data.db, bundled ($(load))"
open_bench "$bin/Data.db"

# $2: more arguments for the lookup benchmark, before the caller's own.
[ "${KELVARA_BENCH_OPEN_ONLY:-0}" = 1 ] && exit 0
ui_and_start() {
  echo "== lookup in the main window, $1 ($(load))"
  wine "$bin/kelvara-ui-bench.exe" "$(winpath "$data/big")" ${2:-} ${ui_args[@]+"${ui_args[@]}"}
  local size count
  for size in big huge; do
    count=$headwords
    [ "$size" = huge ] && count=$huge_headwords
    echo "== start-up, $1, $count headwords ($(load))"
    wine "$bin/kelvara-start-bench.exe" "$(winpath "$kelvara_exe")" "$(winpath "$data/$size")" \
      "$(winpath "$data/empty")" "$(winpath "$bin/kelvara-bench-window.exe")" \
      "$(winpath "$bin/kelvara-bench-window-cc6.exe")" --big-label "$count headwords" \
      ${start_args[@]+"${start_args[@]}"}
  done
  echo "== start-up, $1, $huge_headwords headwords, the build's kelvara.exe with its debugging information ($(load))"
  wine "$bin/kelvara-start-bench.exe" "$(winpath "$bin/kelvara.exe")" "$(winpath "$data/huge")" \
    "$(winpath "$data/empty")" "$(winpath "$bin/kelvara-bench-window.exe")" \
    --big-label "$huge_headwords headwords" ${start_args[@]+"${start_args[@]}"}
  echo "== private memory after start, $1 ($(load))"
  local trivial
  trivial=$(program_memory "trivial window" "$bin/kelvara-bench-window.exe" "$data/empty" "Kelvara Bench Window")
  echo "$trivial"
  program_memory "kelvara, bundled Data.db" "$kelvara_exe" "$data/empty" "Kelvara Dictionary"
  program_memory "kelvara, $huge_headwords headwords" "$kelvara_exe" "$data/huge" "Kelvara Dictionary"
  program_memory "kelvara with its debugging information, bundled Data.db" "$bin/kelvara.exe" "$data/empty" \
    "Kelvara Dictionary"
  echo "== private memory after 1,000 lookups in the word box, $1 ($(load))"
  memory_after_lookups "$data/huge" 1000 "$(echo "$trivial" | awk '{ print $(NF - 1) }')"
}

theme=$(wine reg query "$theme_key" /v ThemeActive 2>/dev/null | tr -d '\r' |
        awk '$1 == "ThemeActive" { print $NF }')
# Themed, one fill of the plain list with its drawing on takes minutes: it is timed once.
themed_args=""
[ "${theme:-0}" != 0 ] && themed_args="--naive-rounds 1"
[ "$themed" = 1 ] && ui_and_start "theme as configured (ThemeActive=${theme:-unset})" "$themed_args"
if [ "$classic" = 1 ] && [ "${theme:-0}" != 0 ]; then
  echo "$theme" >"$theme_saved"
  wine reg add "$theme_key" /v ThemeActive /d 0 /f >/dev/null 2>&1
  ui_and_start "theme switched off (classic drawing)"
  restore_theme
fi
echo "== done ($(load))"
