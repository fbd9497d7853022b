#!/usr/bin/env bash
# Builds the suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (undefined behaviour fatal) and runs every test; any report fails the run.
# Leak checking is off: Qt keeps some allocations until the process ends.
set -euo pipefail
source "$(dirname "$0")/deps.sh"
vorda_install_deps
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
vorda_build "$VORDA_ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVORDA_BUILD_BENCHMARKS=OFF \
    "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
cd "$VORDA_ROOT/build-asan"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2 | tee sanitize.log
if grep -qE "runtime error:|ERROR: AddressSanitizer" sanitize.log; then
    echo "sanitizer reports found" >&2
    exit 1
fi
