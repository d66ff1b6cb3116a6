#!/usr/bin/env bash
# Creates (once) a Wine prefix for the program: the user's locale (GERM_WINE_LANG, Japanese by
# default), Japanese fonts for the dialog's font names. Usage: wineprefix.sh DIR [--unmanaged]
#   --unmanaged  Wine draws its own window frames and treats windows as unmanaged, for a display
#                without a window manager (otherwise every hide waits ~2 s for one).
set -euo pipefail
prefix=$1
mode=${2:-}
stamp="$prefix/.germ-ready$mode"

# Wine draws the caption buttons' glyphs with its own Marlett font (from fonts-wine), which this
# Wine finds only in the prefix's Fonts folder; without it the close box shows an "r".
wine_fonts() {
    local dir="$prefix/drive_c/windows/Fonts"
    if [ -d "$dir" ] && [ ! -f "$dir/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$dir/"
    fi
}
if [ -f "$stamp" ]; then
    wine_fonts
    exit 0
fi

lang=${GERM_WINE_LANG:-ja_JP.UTF-8}
export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=$lang LC_ALL=$lang WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
echo "wineprefix: creating $prefix (takes a few seconds once)"
wineboot -i >/dev/null 2>&1 </dev/null
reg() { wine reg add "$@" /f >/dev/null 2>&1 </dev/null; }
# The dialog's font and the system's Japanese UI fonts map to IPA fonts.
fonts='HKCU\Software\Wine\Fonts\Replacements'
reg "$fonts" /v 'ＭＳ Ｐゴシック' /t REG_SZ /d 'IPAPGothic'
reg "$fonts" /v 'ＭＳ ゴシック' /t REG_SZ /d 'IPAGothic'
reg "$fonts" /v 'MS PGothic' /t REG_SZ /d 'IPAPGothic'
reg "$fonts" /v 'MS Gothic' /t REG_SZ /d 'IPAGothic'
reg "$fonts" /v 'MS UI Gothic' /t REG_SZ /d 'IPAPGothic'
reg "$fonts" /v 'Meiryo UI' /t REG_SZ /d 'IPAPGothic'
if [ "$mode" = "--unmanaged" ]; then
    reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N
    reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
fi
wineserver -w
wine_fonts
touch "$stamp"
