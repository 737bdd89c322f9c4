#!/usr/bin/env bash
# Source this: starts a persistent wineserver for the project's prefix with its helpers' standard
# handles on /dev/null, so that a test capturing a wine program's stderr never waits on them.
# `wine_prefix_stop` ends everything in the prefix.
: "${WINEPREFIX:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine-prefix}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1 || true
wine_prefix_stop() { /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true; }
