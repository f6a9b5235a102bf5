#!/usr/bin/env bash
# The whole install, end to end: stashwick-setup installs a payload into a fresh
# simulated machine while /usr/bin/time records its
# peak memory; beside it, in the same run, `cp` copies the same decompressed
# bytes. Medians of several runs; compare the ratio, not absolute times.
#
#   bench/bench_install.sh BUILD_DIR [CORPUS_DIR] [RUNS]
set -euo pipefail

build=${1:?usage: bench_install.sh BUILD_DIR [CORPUS_DIR] [RUNS]}
corpus=${2:-/work/shared/bench/corpus}
runs=${3:-5}
setup="$build/tools/setup_linux/stashwick-setup"
swkpack="$build/tools/pack/swkpack"
sample="$build/resources/sample_payload.bin"
for tool in "$setup" "$swkpack"; do
    [ -x "$tool" ] || { echo "missing $tool (build stashwick-setup and swkpack)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The corpus in container order, packed; the sample's files expanded for cp.
names=(swk.exe swkh.exe Uninstall.exe swk.dll swk.ocx help.bin swk.bin
       samples1.swk samples2.swk samples3.swk cmptree.exe)
for name in "${names[@]}"; do echo "$corpus/$name 2014-09-04 10:49:17"; done > "$work/corpus.txt"
"$swkpack" pack "$work/corpus.txt" "$work/corpus.bin" >/dev/null
mkdir -p "$work/sample-files"
"$swkpack" extract "$sample" "$work/sample-files" >/dev/null

now_ns() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Prints "<median wall ms> <max peak KiB>" of installing payload $1 with the
# answer words $2.
measure_install() {
    local payload=$1 answers=$2 i start end
    : > "$work/walls"; : > "$work/peaks"
    for ((i = 0; i < runs; i++)); do
        rm -rf "$work/machine"
        start=$(now_ns)
        /usr/bin/time -f %M -o "$work/rss" \
            "$setup" --machine "$work/machine" --payload "$payload" --answers "$answers" \
            >/dev/null 2>&1 || { echo "the install of $payload failed" >&2; exit 1; }
        end=$(now_ns)
        echo $(( (end - start) / 1000000 )) >> "$work/walls"
        cat "$work/rss" >> "$work/peaks"
    done
    echo "$(median < "$work/walls") $(sort -n "$work/peaks" | tail -1)"
}

# Prints the median wall ms of copying the files of folder $1.
measure_cp() {
    local from=$1 i start end
    : > "$work/walls"
    for ((i = 0; i < runs; i++)); do
        rm -rf "$work/copy"; mkdir "$work/copy"
        start=$(now_ns)
        cp "$from"/* "$work/copy/"
        end=$(now_ns)
        echo $(( (end - start) / 1000000 )) >> "$work/walls"
    done
    median < "$work/walls"
}

printf '%-8s %12s %10s %10s %9s %8s\n' payload bytes install_ms peak_MiB cp_ms ratio
for which in sample corpus; do
    # The corpus's swk.ocx is a real library without the registration entry
    # point: its message is answered too.
    if [ "$which" = sample ]; then payload=$sample; files=$work/sample-files; answers=ok,cancel,cancel
    else payload=$work/corpus.bin; files=$corpus; answers=ok,ok,cancel,cancel; fi
    bytes=$(cat "$files"/* | wc -c)
    read -r wall peak < <(measure_install "$payload" "$answers")
    copy=$(measure_cp "$files")
    awk -v w="$which" -v b="$bytes" -v t="$wall" -v p="$peak" -v c="$copy" 'BEGIN {
        printf "%-8s %12d %10d %10.1f %9d %8s\n", w, b, t, p / 1024, c,
               (c > 0 ? sprintf("%.1fx", t / c) : "n/a") }'
done
echo "(install: the whole setup process on a fresh simulated machine, median of $runs;"
echo " peak: largest resident set; cp: the same decompressed files copied, median of $runs)"
