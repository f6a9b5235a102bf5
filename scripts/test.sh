#!/usr/bin/env bash
# Builds everything and runs every test. Installs what it needs when run as root.
#
#   1. Linux debug build with AddressSanitizer + UBSan; the unit, contract and
#      end-to-end tests on the simulated machine (ctest).
#   2. A short run of each fuzzer (clang, libFuzzer, ASan).
#   3. The Windows setup cross-built for i686 and x86_64; the x86_64 build's
#      scenarios under wine64, and the differential test against the simulation.
#   4. The shipping i686 setup run under wine32 in an emulated Debian guest.
#
# SWK_STAGES selects stages (default "linux fuzz wine guest32").
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

stages=${SWK_STAGES:-linux fuzz wine guest32}
passed=0
failed=0
started=$(date +%s)
stage_on() { [[ " $stages " == *" $1 "* ]]; }
elapsed() { echo "$(( $(date +%s) - started )) s"; }

swk_need_packages "${SWK_LINUX_PACKAGES[@]}"
jobs=$(nproc)

if stage_on linux; then
    echo "== Linux debug build with sanitizers ($(elapsed))"
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j "$jobs"
    echo "== Tests on the simulated machine ($(elapsed))"
    log=$(mktemp)
    status=0
    ctest --preset linux -j "$jobs" 2>&1 | tee "$log" || status=$?
    total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\1 \2/p' "$log" | tail -n1)
    rm -f "$log"
    if [ -n "$total" ]; then
        read -r bad all <<<"$total"
        passed=$((passed + all - bad))
        failed=$((failed + bad))
    fi
    [ $status -eq 0 ] || failed=$((failed + (failed == 0)))
fi

if stage_on fuzz; then
    echo "== Fuzzers, a short run each ($(elapsed))"
    if scripts/fuzz-smoke.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi

# Runs a stage script whose verdicts are "PASS name" / "FAIL name" lines; a
# script that fails without naming a failed scenario counts as one failure.
scenario_stage() {
    local log status=0 fails
    log=$(mktemp)
    "$@" 2>&1 | tee "$log" || status=$?
    fails=$(grep -c '^FAIL ' "$log" || true)
    passed=$((passed + $(grep -c '^PASS ' "$log" || true)))
    failed=$((failed + fails))
    [ $status -eq 0 ] || [ "$fails" -gt 0 ] || failed=$((failed + 1))
    rm -f "$log"
}

if stage_on wine; then
    echo "== Windows builds and the scenarios under Wine ($(elapsed))"
    scenario_stage scripts/test-wine.sh
fi

if stage_on guest32 && [ -x scripts/test-guest32.sh ]; then
    echo "== The 32-bit setup in an emulated guest ($(elapsed))"
    scenario_stage scripts/test-guest32.sh
fi

echo "== All stages done in $(elapsed)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
