#!/usr/bin/env bash
# Builds the linux-release preset and runs the benchmarks, ending with a plain-text
# report. Every ratio in it is measured within this one run: the machine is shared
# and noisy, so compare ratios, never absolute times across runs.
#
#   bench/run.sh [--quick]     --quick: skip the mscompress comparison (about 40 s)
set -euo pipefail
cd "$(dirname "$0")/.."

# The corpus lies in the shared folder beside the checkout (SWK_CORPUS overrides).
corpus=${SWK_CORPUS:-$(cd .. && pwd)/shared/bench/corpus}
codec_flags=()
[ "${1:-}" = "--quick" ] && codec_flags+=(--no-mscompress)

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
cmake --preset linux-release >/dev/null
build=build/linux-release

# Benchmarks that exist in this tree; each one builds and runs only if present.
targets=(swk_bench_codec)
[ -f bench/bench_extraction.cpp ] && targets+=(swk_bench_extraction)
cmake --build "$build" --target "${targets[@]}" -j "$jobs" >/dev/null

report=$(mktemp)
output=$(mktemp)
trap 'rm -f "$report" "$output"' EXIT

echo "== Codec: decoding, compression, sizes"
"$build/bench/swk_bench_codec" --corpus "$corpus" "${codec_flags[@]}" | tee "$output"
awk '/^== Codec report/{show=1} show' "$output" >> "$report"

# ---- Whole extraction (payload/) ----------------------------------------------
if [ -x "$build/bench/swk_bench_extraction" ]; then
    echo "== Whole extraction"
    { echo; echo "== Whole extraction report"; "$build/bench/swk_bench_extraction" "$corpus"; } | tee -a "$report"
fi

# ---- Whole install: add it here, appending its report lines to "$report" --------
if [ -x bench/bench_install.sh ]; then
    cmake --build "$build" --target stashwick-setup swkpack -j "$jobs" >/dev/null
    echo "== Whole install"
    { echo; echo "== Whole install report"; bench/bench_install.sh "$build" "$corpus"; } | tee -a "$report"
fi

echo
echo "================ Report ================"
date -u '+%Y-%m-%d %H:%M UTC'
echo "machine: $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
cat "$report"
