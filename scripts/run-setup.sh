#!/usr/bin/env bash
# Builds stashwick-setup (release preset) and runs it on a fresh simulated
# Windows machine with the built-in sample payload, interactive on this
# terminal. Extra arguments go to stashwick-setup (for example --answers
# ok,cancel,cancel, or --machine DIR to reuse a machine).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
swk_need_packages cmake ninja-build g++ libgtest-dev libgmock-dev

cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target stashwick-setup -j 2

machine="build/machine-$(date +%Y%m%d-%H%M%S)"
for arg in "$@"; do
    [ "$arg" = "--machine" ] && machine=""
done
if [ -n "$machine" ]; then
    echo "Simulated machine: $machine"
    exec build/linux-release/tools/setup_linux/stashwick-setup --machine "$machine" "$@"
fi
exec build/linux-release/tools/setup_linux/stashwick-setup "$@"
