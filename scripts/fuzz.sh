#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a
# few seconds (FUZZ_SECONDS, default 5), seeded with the installed files.
# Any crash, sanitizer report or broken rule fails the run; the input that
# caused it is left in build-fuzz/findings.
set -euo pipefail
source "$(dirname "$0")/deps.sh"
vorda_packages+=(clang libclang-rt-14-dev)
vorda_install_deps
seconds=${FUZZ_SECONDS:-5}
dir="$VORDA_ROOT/build-fuzz"
targets=(fuzz_display_data fuzz_equations fuzz_map_reader fuzz_data_file fuzz_config_file fuzz_register_conversions)
cmake -S "$VORDA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVORDA_BUILD_FUZZERS=ON -DVORDA_BUILD_TESTS=OFF -DVORDA_BUILD_BENCHMARKS=OFF
cmake --build "$dir" -j2 --target "${targets[@]}"
mkdir -p "$dir/findings"
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
    # The corpus grows from run to run; the installed files seed it.
    corpus="$dir/corpus/$t"
    mkdir -p "$corpus"
    cp "$VORDA_ROOT"/data/*.[mM]ap "$VORDA_ROOT"/data/VORDADisplayData.txt "$corpus"/
    echo "== $t (${seconds}s)"
    set +o pipefail
    "$dir/stage/bin/$t" -max_total_time="$seconds" -max_len=4096 -artifact_prefix="$dir/findings/$t-" \
        "$corpus" 2>&1 | tail -n 1
    rc=${PIPESTATUS[0]}
    set -o pipefail
    [ "$rc" -eq 0 ] || { echo "$t failed; the input is in $dir/findings" >&2; exit 1; }
done
