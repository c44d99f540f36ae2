#!/bin/sh
# Renders the Windows dialog on a generated demo game under Wine in a virtual X display into
# docs/screenshot-windows.png: usage screenshot-windows.sh WINDOWS-BUILD-DIR [LINUX-BUILD-DIR].
# Needs wine, xvfb-run, xwd and ImageMagick's convert; WINE names another loader (e.g. wine64
# for a 64-bit build of the program).
set -e
cd "$(dirname "$0")/.."
windows="${1:-build-windows}"
linux="${2:-build}"
for program in "$windows/ui/tarvex.exe" "$linux/tools/tarvex-gamegen"; do
    if [ ! -f "$program" ]; then
        echo "screenshot-windows: $program is missing; build first" >&2
        exit 1
    fi
done
if [ -z "${SHOT_INSIDE_X:-}" ]; then
    SHOT_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$windows" "$linux"
fi
game="$(mktemp -d "${TMPDIR:-/tmp}/tarvex-screenshot.XXXXXX")"
trap 'rm -rf "$game"' EXIT
"$linux/tools/tarvex-gamegen" --demo "$game/demo" >/dev/null
cp "$windows/ui/tarvex.exe" "$game/demo/"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tarvex}" WINEDEBUG=-all TZ=UTC
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# A Wine desktop of its own draws the dialog's frame and caption without a window manager.
(cd "$game/demo" && "${WINE:-wine}" explorer /desktop=tarvex,640x420 ./tarvex.exe) &
sleep "${SHOT_WAIT:-12}"
mkdir -p docs
xwd -root -silent | convert xwd:- -crop 640x420+0+0 +repage -trim +repage \
    docs/screenshot-windows.png
wineserver -k 2>/dev/null || true
echo "screenshot-windows: wrote docs/screenshot-windows.png"
