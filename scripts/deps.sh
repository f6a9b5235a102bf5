#!/usr/bin/env bash
# Makes sure the Debian packages the build and the tests need are installed.
# As root it installs what is missing with apt-get; otherwise it names what is
# missing and exits with 1. Sourced by the other scripts: call swk_need_packages.
set -euo pipefail

swk_need_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Install them with: sudo apt-get install --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    if [ ! -f /tmp/.swk-apt-updated ]; then
        apt-get update -qq && touch /tmp/.swk-apt-updated
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What the Linux build and its tests use.
SWK_LINUX_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev
                    clang libclang-rt-14-dev mscompress libmspack-dev liblnk-utils)
