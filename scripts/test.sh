#!/usr/bin/env bash
# Builds everything and runs every test: the unit, contract and end-to-end tests
# on the simulated machine (debug build with AddressSanitizer and UBSan), then the
# stages that need more of the machine. Installs what it needs when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

swk_need_packages "${SWK_LINUX_PACKAGES[@]}"

jobs=$(nproc)
echo "== Linux debug build with sanitizers"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
echo "== Tests on the simulated machine"
ctest --preset linux -j "$jobs"
