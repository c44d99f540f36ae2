#!/bin/sh
# Runs the Windows test executables of a Windows build under Wine, without a display.
# Exits non-zero when any test fails or a program does not run.
set -u
if [ "${1:-}" = --runs-32-bit ]; then # whether the 32-bit Wine loader starts here, natively
    # Through an emulator registered for i386 programs it starts, but cannot run every test
    # (windows-test-emulated.sh runs them there).
    if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
        exit 1
    fi
    /usr/lib/wine/wine --version >/dev/null 2>&1
    exit $?
fi
build="${1:-build-windows}"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tarvex}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}" # no installer dialogs
unset DISPLAY
# The loader of the build's programs: the 64-bit one for a 64-bit build (its compiler is the
# x86_64 one), else the 32-bit one.
wine=wine
if grep -q "x86_64-w64-mingw32" "$build/CMakeCache.txt" 2>/dev/null; then
    wine=/usr/lib/wine/wine64
    export WINELOADER=$wine
fi
if [ ! -d "$WINEPREFIX" ]; then
    echo "creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1
fi
status=0
found=0
for program in "$build"/tests/*_tests.exe; do
    [ -f "$program" ] || continue
    found=1
    echo "== $(basename "$program")"
    # The test programs find their helpers beside them.
    # A program that hangs fails after the time-out instead of blocking the run.
    (cd "$(dirname "$program")" &&
        timeout "${WINDOWS_TEST_TIMEOUT:-600}" "$wine" "./$(basename "$program")" --gtest_brief=1) ||
        status=1
done
# The dialog's tests need a display: a virtual one of their own. The Wine session the programs
# above left behind has no display (its desktop process keeps none), so it must end first.
dialog="$build/tests/ui_win32_dialog.exe"
if [ -f "$dialog" ]; then
    echo "== $(basename "$dialog")"
    wineserver -w 2>/dev/null || true
    if command -v xvfb-run >/dev/null 2>&1; then
        (cd "$(dirname "$dialog")" &&
            timeout "${WINDOWS_TEST_TIMEOUT:-600}" xvfb-run -a "$wine" "./$(basename "$dialog")" \
                --gtest_brief=1) || status=1
    else
        echo "xvfb-run is missing: the dialog's tests cannot run" >&2
        status=1
    fi
fi
if [ "$found" = 0 ]; then
    echo "no test executables in $build/tests" >&2
    status=1
fi
wineserver -w 2>/dev/null || true
exit $status
