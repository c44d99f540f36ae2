#!/bin/sh
# Renders the dialog offscreen on a generated demo game into docs/screenshot.png: usage
# screenshot.sh BUILD-DIR.
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
for program in "$build/tools/tarvex-gamegen" "$build/ui/tarvex-screenshot"; do
    if [ ! -x "$program" ]; then
        echo "screenshot: $program is missing; build first (make build)" >&2
        exit 1
    fi
done
game="$(mktemp -d "${TMPDIR:-/tmp}/tarvex-screenshot.XXXXXX")"
trap 'rm -rf "$game"' EXIT
"$build/tools/tarvex-gamegen" --demo "$game/demo"
mkdir -p docs
TZ=UTC QT_QPA_PLATFORM=offscreen "$build/ui/tarvex-screenshot" "$game/demo" docs/screenshot.png
echo "screenshot: wrote docs/screenshot.png"
