#!/bin/sh
# Runs the 32-bit Windows test programs under Wine on a machine whose kernel cannot run 32-bit
# code, through qemu's user-mode emulation of i386 (registered with binfmt_misc; needs root).
# usage: windows-test-emulated.sh [WINDOWS-BUILD-DIR]
# Each test suite runs in a process of its own, since the emulator cannot deliver every signal
# Wine turns into a Windows exception (faults, thread suspension and termination): a suite that
# needs them ends the emulated process, which is reported as "emulator ended", apart from
# failures. Exits non-zero when a test fails.
set -u
build="${1:-build-windows}"
if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    command -v qemu-i386-static >/dev/null 2>&1 ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y qemu-user-static >/dev/null || exit 1
    [ -e /proc/sys/fs/binfmt_misc/register ] ||
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || exit 1
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        >/proc/sys/fs/binfmt_misc/register || exit 1
fi
# Wine places its shared pages at fixed addresses: the emulator must reserve the whole 32-bit space.
export QEMU_RESERVED_VA=0xffff0000
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tarvex32}" WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY
status=0
for program in "$build"/tests/*_tests.exe; do
    name=$(basename "$program")
    suites=$(cd "$(dirname "$program")" && wine "./$name" --gtest_list_tests 2>/dev/null |
        tr -d '\r' | grep -v '^ ' | grep '\.$')
    for suite in $suites; do
        log=$(mktemp)
        (cd "$(dirname "$program")" &&
            timeout "${WINDOWS_TEST_TIMEOUT:-600}" wine "./$name" "--gtest_filter=${suite}*") >"$log" 2>&1
        rc=$?
        passed=$(grep -c '^\[       OK \]' "$log")
        failed=$(grep '^\[  FAILED  \] [A-Za-z].*(' "$log" | sed 's/^\[  FAILED  \] //')
        if [ -n "$failed" ]; then
            status=1
            echo "$name $suite: $passed passed; FAILED: $failed"
            grep -A8 'Failure' "$log" | head -40
        elif [ $rc -ne 0 ]; then
            echo "$name $suite: $passed passed, then the emulator ended (status $rc)"
        else
            echo "$name $suite: $passed passed"
        fi
        rm -f "$log"
    done
done
exit $status
