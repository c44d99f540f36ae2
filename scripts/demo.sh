#!/bin/sh
# Opens the dialog on a freshly generated demo game directory (./demo): usage demo.sh BUILD-DIR.
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    echo "demo: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the dialog needs one." >&2
    echo "demo: run it from a desktop session, or try: xvfb-run make demo" >&2
    exit 1
fi
for program in "$build/tools/tarvex-gamegen" "$build/ui/tarvex"; do
    if [ ! -x "$program" ]; then
        echo "demo: $program is missing; build first (make build)" >&2
        exit 1
    fi
done
rm -rf demo
"$build/tools/tarvex-gamegen" --demo demo
cp "$build/ui/tarvex" demo/tarvex
echo "demo: starting demo/tarvex"
cd demo
exec ./tarvex
