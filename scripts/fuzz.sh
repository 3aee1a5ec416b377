#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer, UndefinedBehavior-
# Sanitizer) in build/fuzz and runs each of them for a while from its seeds in
# fuzz/corpus/<target>/. Fails, naming the target, when one of them crashes, a sanitizer reports
# or a target finds an input on which the code and the target's own reading disagree.
#   scripts/fuzz.sh                      every target, 20 s each
#   scripts/fuzz.sh scheme_steps cmdline only these
#   FUZZ_SECONDS=300 scripts/fuzz.sh     longer runs
# The seeds are copied to a temporary folder first, so a run does not add to the repository's
# corpus. An input that failed is kept as build/fuzz/findings/<target>-crash-<hash> and the log
# of the run as build/fuzz/findings/<target>.log.
#
# One target alone, after scripts/fuzz.sh has built them once (or cmake --build build/fuzz):
#   mkdir -p /tmp/seeds && cp fuzz/corpus/scheme_steps/* /tmp/seeds/
#   build/fuzz/scheme_steps -max_total_time=60 /tmp/seeds
# and to run the code on one input again, a finding or a seed, to see what went wrong:
#   build/fuzz/scheme_steps build/fuzz/findings/scheme_steps-crash-<hash>
# The targets: scheme_steps (the optimizer's step table), editor_rows (the editor's rows and
# saving), text_codec (GBK, UTF-8 and UTF-16), cmdline (the first argument of a command line),
# registry_steps (registry paths and DWORD texts), regfile (.reg files: read, written back, read
# again to the same operations).
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}
jobs=${FUZZ_JOBS:-$(nproc)}
build=build/fuzz
findings=$build/findings

echo "==== fuzz: configure and build ($build)"
if ! CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja -DLZ_WERROR="${LZ_WERROR:-OFF}" >/dev/null ||
    ! cmake --build "$build" -j "$jobs"; then
    echo "FAILED: fuzz (build)"
    exit 1
fi

if (($#)); then
    targets=("$@")
else
    mapfile -t targets <"$build/targets.txt"
fi

mkdir -p "$findings"
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT

failed=()
for target in "${targets[@]}"; do
    if [[ ! -x $build/$target || ! -d fuzz/corpus/$target ]]; then
        echo "==== fuzz: $target: no such target"
        failed+=("$target (no such target)")
        continue
    fi
    echo "==== fuzz: $target, ${seconds} s"
    mkdir -p "$seeds/$target"
    cp fuzz/corpus/"$target"/* "$seeds/$target/"
    log=$findings/$target.log
    dict=()
    [[ -f fuzz/$target.dict ]] && dict=(-dict="fuzz/$target.dict")
    start=$SECONDS
    if "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "${dict[@]}" "$seeds/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "     ok: ${runs:-?} inputs in $((SECONDS - start)) s"
    else
        echo "     FAILED after $((SECONDS - start)) s ($log):"
        # What failed, where in the project's code, and the input kept.
        grep -E 'invariant failed|ERROR: |runtime error:|SUMMARY:|#[0-9]+ .* in (lz::|\(anonymous|LLVMFuzzer)|Test unit written' \
            "$log" | sed 's/ (BuildId: [0-9a-f]*)//; s/^ */     /'
        failed+=("$target")
    fi
done

if ((${#failed[@]})); then
    echo "FAILED: fuzz: ${failed[*]}"
    exit 1
fi
echo "Every fuzz target ran ${seconds} s without a finding."
