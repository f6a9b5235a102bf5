#!/usr/bin/env bash
# The Wine stage: cross-builds the Windows setup for both architectures, checks
# what it imports and that its build is reproducible, then runs the end-to-end
# scenarios under wine64 with the 64-bit build (this machine cannot execute
# 32-bit code). Installs what it needs when run as root. Screenshots of the
# three pages are taken under Xvfb when there is no X server.
#
#   scripts/test-wine.sh [SCENARIO ...]     (default: all; see tests/wine/run-scenarios.sh)
#
# Artifacts (driver transcripts, machine states, screenshots): build/wine-artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

# Never the wine or wine32 packages: /usr/bin/wine would then pick the 32-bit loader.
SWK_WINE_PACKAGES=(cmake ninja-build python3 wine64 fonts-wine liblnk-utils
                   g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix xvfb xauth)
swk_need_packages "${SWK_WINE_PACKAGES[@]}"

# The packer and the sample payload's writer run on this machine: take them from
# a Linux build when there is one, otherwise the Windows build makes its own.
host_args=()
for linux in build/linux build/linux-release; do
    if [ -x $linux/tools/pack/swkpack ] && [ -x $linux/tools/standins/swk_make_standins ]; then
        mkdir -p build/host-tools
        ln -sf "$PWD/$linux/tools/pack/swkpack" build/host-tools/swkpack
        ln -sf "$PWD/$linux/tools/standins/swk_make_standins" build/host-tools/swk_make_standins
        host_args=(-DSWK_HOST_TOOLS_DIR="$PWD/build/host-tools")
        break
    fi
done

jobs=$(nproc)
wine_targets=(StashwickSetup StashwickSetupNoPayload swkdriver swklzexpand swkopenurl
              swkplanted_version swkplanted_uxtheme swkplanted_lz32 swkplanted_dwmapi swkplanted_propsys)
for preset in mingw-i686 mingw-x64; do
    echo "== Windows build: $preset"
    cmake --preset "$preset" "${host_args[@]}" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" --target "${wine_targets[@]}"
done

echo "== What the setup imports when it starts, and its size"
for arch in mingw-i686 mingw-x64; do
    exe="build/$arch/StashwickSetup.exe"
    objdump=i686-w64-mingw32-objdump
    [ "$arch" = mingw-x64 ] && objdump=x86_64-w64-mingw32-objdump
    imports=$($objdump -p "$exe" 2>/dev/null | awk '/DLL Name:/ {print tolower($3)}' | sort | paste -sd' ' -)
    expected="advapi32.dll kernel32.dll msvcrt.dll"
    # The 32-bit build imports the KnownDLLs directly (see platform/win32/CMakeLists.txt).
    [ "$arch" = mingw-i686 ] && expected="advapi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll"
    [ "$imports" = "$expected" ] || { echo "unexpected imports in $exe: $imports"; exit 1; }
    printf '%-12s %8d bytes without payload, %8d with\n' "$arch" \
        "$(stat -c %s "build/$arch/StashwickSetupNoPayload.exe")" "$(stat -c %s "$exe")"
done

echo "== Reproducible: relinking gives the same bytes"
before=$(sha256sum build/mingw-x64/StashwickSetup.exe | cut -d' ' -f1)
rm build/mingw-x64/StashwickSetup.exe
cmake --build --preset mingw-x64 --target StashwickSetup >/dev/null
[ "$before" = "$(sha256sum build/mingw-x64/StashwickSetup.exe | cut -d' ' -f1)" ] || { echo "StashwickSetup.exe differs after relinking"; exit 1; }

# The simulated machine's side of the differential scenario (scripts/test.sh
# builds it first; the scenario fails without it).
for linux in build/linux build/linux-release; do
    if [ -x $linux/tools/setup_linux/stashwick-setup ]; then
        export SWK_SIM_SETUP="$PWD/$linux/tools/setup_linux/stashwick-setup"
        break
    fi
done

echo "== Scenarios under Wine"
run=(tests/wine/run-scenarios.sh build/mingw-x64 build/wine-artifacts "$@")
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
else
    "${run[@]}"
fi
