# Sourced helper: a Wine prefix of the project's own for the Windows tests.
#   . scripts/wine-env.sh    # sets WINEPREFIX and WINEDEBUG, prepares the prefix once,
#                            # and keeps a wine server running until wine_env_stop
# The prefix lives in build-windows/wineprefix; a fresh one takes some seconds to make, later
# runs reuse it. A server kept running makes each program start cost ~0.1 s instead of ~1 s.
wine_env_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$wine_env_top/build-windows/wineprefix}
export WINEDEBUG=-all
export WINEARCH=win64
# No window for Wine's Mono and Gecko installers: the tests need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export MODLINK_WINE=${MODLINK_WINE:-/usr/lib/wine/wine64}

wine_env_init() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    local started=$SECONDS
    "$MODLINK_WINE" wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    echo "wine-env: made a fresh prefix in $WINEPREFIX ($((SECONDS - started)) s)"
  fi
}

wine_env_start() {
  wine_env_init
  # A persistent server that stays until told to go (wine_env_stop).
  # (It refuses when a server for this prefix already runs, which is as good.)
  /usr/lib/wine/wineserver -p 2>/dev/null || true
  # Wine's own services (services.exe, winedevice.exe, ...) start with the first program and
  # inherit its standard handles; started here with nothing attached, they cannot hold a test's
  # output pipe open (ctest would wait for them until its time-out).
  "$MODLINK_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_env_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
}

wine_env_start
