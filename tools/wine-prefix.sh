#!/usr/bin/env bash
# Prepares the Wine prefix named by WINEPREFIX for Vantrell.exe: creates it with Mono and
# Gecko disabled, and gives it Wine's Marlett font, which draws the caption buttons
# (Debian's Wine does not find the fonts of fonts-wine by itself). Idempotent.
# usage: WINEPREFIX=DIR tools/wine-prefix.sh [--unmanaged]
#   --unmanaged  Wine draws the window frames itself. Without a window manager (Xvfb)
#                this spares the ~2 s that Wine otherwise waits whenever a captioned
#                window closes, and the frames look as on Windows.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
# Only Marlett: Wine's Tahoma is wider than Windows' and would wrap the form's labels;
# without it "MS Shell Dlg" falls back to a face with Windows' metrics (Liberation Sans).
ln -sf /usr/share/wine/fonts/marlett.ttf "$fonts/marlett.ttf"
if [ "${1:-}" = --unmanaged ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
