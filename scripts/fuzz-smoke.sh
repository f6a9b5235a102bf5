#!/usr/bin/env bash
# Builds the fuzzers with clang (coverage, ASan, UBSan) and runs each for a short
# while from a few seeds; a crash or a sanitizer report fails. For longer runs
# see docs/codec.md.
#
#   scripts/fuzz-smoke.sh [SECONDS]     (default 20 per fuzzer)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSWK_FUZZ=ON >/dev/null
targets=(fuzz_szdd_decoder fuzz_szdd_roundtrip fuzz_container swkpack)
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/szdd" "$work/container" "$work/roundtrip"
# Seeds: a compressed text file, and a small container.
"$build/tools/pack/swkpack" compress README.md "$work/szdd/readme.sz" >/dev/null
printf 'a small product file\n' >"$work/one.txt"
printf 'one.txt 2014-09-04 10:49:17\n' >"$work/manifest.txt"
"$build/tools/pack/swkpack" pack "$work/manifest.txt" "$work/container/one.bin" >/dev/null
cp README.md "$work/roundtrip/"

run() {  # fuzzer, corpus folder
    echo "-- $1 for $seconds s"
    "$build/fuzz/$1" -max_total_time="$seconds" -max_len=20000 -print_final_stats=1 "$2" 2>"$work/$1.log" \
        || { tail -n 40 "$work/$1.log"; echo "FAIL $1"; return 1; }
    grep -E 'stat::number_of_executed_units' "$work/$1.log" | sed 's/^/   /'
}
run fuzz_szdd_decoder "$work/szdd"
run fuzz_szdd_roundtrip "$work/roundtrip"
run fuzz_container "$work/container"
