#!/usr/bin/env bash
# The clipboard watcher's idle cost under Wine: kelvara.exe left alone (shown, then in the tray)
# against a trivial Win32 window (kelvara-bench-window.exe) measured in the same run, on a
# private display in the project's Wine prefix. For each program, over SECONDS of idling:
#   wakeups/s   times its threads woke from a wait (voluntary context switches); each timer
#               tick is several, since every message call is a round trip to the Wine server
#   preempted/s times its threads were put aside for another (involuntary context switches)
#   cpu ms/s    CPU time of its threads
#   server ms/s CPU time of the Wine server meanwhile (timers and messages are server calls)
# and each as a ratio to the trivial window ("-" where the window's figure is 0). It prints
# figures and checks nothing.
#   bench/idle-cost.sh [SECONDS] [--no-build]      (SECONDS defaults to 60)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=60
build=1
for arg in "$@"; do
  case "$arg" in
    --no-build) build=0 ;;
    ''|*[!0-9]*) sed -n '2,13p' "$0" >&2; exit 2 ;;
    *) seconds=$arg ;;
  esac
done
jobs=${KELVARA_JOBS:-2}
bin=$root/build/win/bin

if [ "$build" = 1 ]; then
  KELVARA_JOBS=$jobs bash scripts/build.sh kelvara kelvara_data kelvara-bench-window kelvara-probe
fi

source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start
clock_ticks=$(getconf CLK_TCK)

# The Wine server of this prefix: it works in a folder named server-DEV-INODE of the prefix.
server_pid() {
  local dir p
  dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for p in $(pgrep -x 'wineserver(64)?' || true); do
    case "$(readlink "/proc/$p/cwd" 2>/dev/null)" in */"$dir") echo "$p"; return ;; esac
  done
  echo "no Wine server found for $WINEPREFIX" >&2
  exit 1
}

# "<wakeups> <preemptions> <cpu ticks>" of a process, all its threads: a voluntary context
# switch is a wait that ended, an involuntary one a thread put aside for another.
sample() {
  local pid=$1
  cat /proc/"$pid"/task/*/status 2>/dev/null |
    awk -v cpu="$(awk '{print $14 + $15}' "/proc/$pid/stat")" '
      /^voluntary_ctxt_switches/ { v += $2 } /^nonvoluntary_ctxt_switches/ { n += $2 }
      END { print v + 0, n + 0, cpu }'
}

wine "$bin/kelvara-probe.exe" windows >/dev/null  # the desktop and the server are up

# measure LABEL TITLE EXE [ARGS...]: idles the program and prints its figures.
measure() {
  local label=$1 title=$2 exe=$3
  shift 3
  (cd "$bin" && exec wine "$exe" "$@") >/dev/null 2>&1 &
  local pid=$!
  local i
  for i in $(seq 1 100); do
    wine "$bin/kelvara-probe.exe" state "$title" 2>/dev/null | grep -q '"found":true' && break
    sleep 0.2
  done
  sleep 5  # start-up is over
  local server
  server=$(server_pid)
  read -r v0 n0 c0 < <(sample "$pid")
  local w0
  w0=$(awk '{print $14 + $15}' "/proc/$server/stat")
  sleep "$seconds"
  read -r v1 n1 c1 < <(sample "$pid")
  local w1
  w1=$(awk '{print $14 + $15}' "/proc/$server/stat")
  wine "$bin/kelvara-probe.exe" close "$title" >/dev/null 2>&1 || true
  for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
  wait "$pid" 2>/dev/null || true
  awk -v l="$label" -v v=$((v1 - v0)) -v n=$((n1 - n0)) -v c=$((c1 - c0)) -v w=$((w1 - w0)) \
      -v t="$seconds" -v hz="$clock_ticks" \
      'BEGIN { printf "%s %.1f %.1f %.2f %.2f\n", l, v / t, n / t, 1000 * c / hz / t, 1000 * w / hz / t }'
  wineserver -w
}

echo "Idle cost over $seconds s each (load average before: $(cut -d' ' -f1-3 /proc/loadavg))"
results=$(
  measure baseline "Kelvara Bench Window" kelvara-bench-window.exe
  measure shown "Kelvara Dictionary" kelvara.exe
  measure tray "Kelvara Dictionary" kelvara.exe -t
)
echo "$results" | awk '
  function ratio(x, base) { return base > 0 ? sprintf("%.1f", x / base) : "-" }
  NR == 1 { bv = $2; bc = $4; bs = $5 }
  { names[NR] = $1; v[NR] = $2; n[NR] = $3; c[NR] = $4; s[NR] = $5 }
  END {
    label["baseline"] = "trivial window"; label["shown"] = "kelvara.exe shown"
    label["tray"] = "kelvara.exe in the tray (-t)"
    printf "%-30s %10s %12s %9s %12s %10s %8s %10s\n", "program", "wakeups/s", "preempted/s",
           "cpu ms/s", "server ms/s", "x wakeups", "x cpu", "x server"
    for (i = 1; i <= NR; i++)
      printf "%-30s %10.1f %12.1f %9.2f %12.2f %10s %8s %10s\n", label[names[i]], v[i], n[i],
             c[i], s[i], ratio(v[i], bv), ratio(c[i], bc), ratio(s[i], bs)
  }'
echo "(load average after: $(cut -d' ' -f1-3 /proc/loadavg))"
