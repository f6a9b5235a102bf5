#!/usr/bin/env bash
# The shipping 32-bit setup, executed end to end. This machine cannot execute
# 32-bit code, so the i686 StashwickSetup.exe and the 32-bit automation driver
# run under Wine (64-bit Wine with its 32-bit half, as WoW64) inside a Debian
# guest booted with qemu under software emulation. The guest runs the Wine
# stage's scenarios with SWK_WOW64=1; this machine then compares the guest's
# installation with the simulated machine's WOW64 profile.
#
#   scripts/test-guest32.sh            needs build/mingw-i686 (scripts/test-wine.sh)
#
# The guest image is kept in SWK_GUEST_DIR (default /var/tmp/swk-guest) and
# reused while its recipe is unchanged. Artifacts: build/guest32-artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
swk_need_packages qemu-system-x86 debootstrap e2fsprogs python3 liblnk-utils

guest=${SWK_GUEST_DIR:-/var/tmp/swk-guest}
win=build/mingw-i686
scenarios=(first_install reinstall_yes product_running)
started=$(date +%s)
elapsed() { echo "$(( $(date +%s) - started )) s"; }

[ -f $win/StashwickSetup.exe ] || { echo "FAIL guest32: no $win/StashwickSetup.exe (run scripts/test-wine.sh first)"; exit 1; }

echo "== Guest image ($(elapsed))"
tests/guest32/build-guest.sh "$guest"

# What the guest needs, laid out as the Wine stage expects its build folder.
share=$(mktemp -d /tmp/swk-guest-share.XXXXXX)
trap 'rm -rf "$share"' EXIT
mkdir -p "$share/win/tools/driver" "$share/win/platform/win32" "$share/out"
cp $win/StashwickSetup.exe "$share/win/"
cp $win/tools/driver/swkdriver.exe $win/tools/driver/swkopenurl.exe "$share/win/tools/driver/"
cp -r $win/platform/win32/payload "$share/win/platform/win32/"
cp $win/platform/win32/payload_container.bin "$share/win/platform/win32/"
cp -r tests/wine "$share/tests-wine"
cat >"$share/run.sh" <<RUN
export SWK_WINE_WORK=/root/work SWK_WINE_REUSE_TEMPLATE=1 SWK_WINE_KEEP=1 SWK_WOW64=1
bash /mnt/share/tests-wine/run-scenarios.sh /mnt/share/win /mnt/share/out ${scenarios[*]}
RUN

echo "== Scenarios in the guest ($(elapsed))"
status=0
tests/guest32/boot-guest.sh "$guest" "$share" || status=$?
out=build/guest32-artifacts
rm -rf "$out" && mkdir -p "$out"
cp -r "$share/out/." "$out/" 2>/dev/null || true
cp "$share/console.log" "$share/qemu.log" "$out/" 2>/dev/null || true
[ $status -eq 0 ] || echo "qemu ended with status $status"
# The guest's verdicts, named as 32-bit ones.
verdicts=$(mktemp)
sed -n 's/^\(PASS\|FAIL\) /\1 guest32-/p' "$out/console.log" 2>/dev/null >"$verdicts" || true
ran=$(grep -c -E '^(PASS|FAIL) ' "$verdicts" || true)
[ "${ran:-0}" -eq ${#scenarios[@]} ] || echo "FAIL guest32: ${ran:-0} of ${#scenarios[@]} scenarios reported (see $out/console.log)" >>"$verdicts"
cat "$verdicts"

echo "== The 32-bit installation against the simulated machine's WOW64 profile ($(elapsed))"
for linux in build/linux build/linux-release; do
    if [ -x $linux/tools/setup_linux/stashwick-setup ] && [ -x $linux/tools/swkmachine/swkmachine ]; then
        export SWK_SIM_SETUP="$PWD/$linux/tools/setup_linux/stashwick-setup"
        export SWK_SIM_MACHINE="$PWD/$linux/tools/swkmachine/swkmachine"
        break
    fi
done
SWK_WOW64=1 tests/wine/run-scenarios.sh "$share/win" "$out" differential 2>&1 \
    | sed 's/^\(PASS\|FAIL\) /\1 guest32-/' | tee -a "$verdicts" || true
for state in "$out"/*.state.txt; do
    [ -f "$state" ] || continue
    echo "-- $(basename "$state")"
    cat "$state"
done
echo "== Guest stage done in $(elapsed)"
failures=$(grep -c '^FAIL ' "$verdicts" || true)
rm -f "$verdicts"
[ "${failures:-0}" -eq 0 ]
