#!/bin/sh
# Runs a Windows program under wine with the project's prefix and quiet defaults.
: "${WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/wine-prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL="${LC_ALL:-C.UTF-8}"
exec /usr/lib/wine/wine64 "$@"
