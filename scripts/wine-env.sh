# Sourced by the scripts that run Windows programs: a private Xvfb display and a Wine prefix set
# up as one Windows desktop with a taskbar. Defines wine_env_start and wine_env_stop.
#   KELVARA_WINEPREFIX  prefix folder (default: <repo>/build/wine/prefix)
#   KELVARA_DISPLAY     use this display instead of starting Xvfb
#   KELVARA_DISPLAY_FIRST  first display number tried for Xvfb (default 90)
# and wine_env_keep_server.
KELVARA_ROOT=${KELVARA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${KELVARA_WINEPREFIX:-$KELVARA_ROOT/build/wine/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
KELVARA_XVFB_PID=""

wine_env_start() {
  if [ -n "${KELVARA_DISPLAY:-}" ]; then
    export DISPLAY=$KELVARA_DISPLAY
  else
    local n=${KELVARA_DISPLAY_FIRST:-90}
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    KELVARA_XVFB_PID=$!
    export DISPLAY=:$n
    local i
    for i in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && break
      sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $DISPLAY" >&2; return 1; }
  fi
  if [ ! -f "$WINEPREFIX/.kelvara-ready" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX (once, about 15 s)"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # One shared desktop with a taskbar: the processes see each other's windows and the
    # notification area exists.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
    # Tahoma (Arabic too) and Marlett; without them Persian and the title-bar buttons fall back.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wineserver -w
    touch "$WINEPREFIX/.kelvara-ready"
  fi
  export KELVARA_WINE_DISPLAY=$DISPLAY
}

# Keeps the Wine server, the desktop and Wine's background programs running between programs,
# so that each test does not pay for starting them again. Whoever waits for the prefix to go
# idle must then wait for its own programs only (the end-to-end driver does, seeing
# KELVARA_WINESERVER_KEPT), since `wineserver -w` would wait for the server forever.
wine_env_keep_server() {
  wineserver -p
  # Wine's background programs start with the first program and outlive it: started here, they
  # hold no test runner's output pipe open (a runner waits for its pipe to close).
  wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
  export KELVARA_WINESERVER_KEPT=1
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$KELVARA_XVFB_PID" ]; then
    kill "$KELVARA_XVFB_PID" 2>/dev/null || true
    wait "$KELVARA_XVFB_PID" 2>/dev/null || true
    KELVARA_XVFB_PID=""
  fi
}
