#!/usr/bin/env bash
# A short coverage-guided fuzz run (libFuzzer, with AddressSanitizer and
# UBSan) of every fuzz target, seeded from the saved inputs in fuzz/corpus.
# New inputs go to a scratch folder; the saved ones are only read.
#   scripts/fuzz.sh [SECONDS]    (default 60 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" clang:clang++ \
    libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a

seconds=${1:-60}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_BUILD_TESTS=ON \
    -DZQ_BUILD_FUZZ=ON -DZQ_SANITIZER="address;undefined" >/dev/null
for target in fuzz/*.cpp; do
    name=$(basename "$target" .cpp)
    cmake --build "$build" --target "$name" -j "$(jobs)"
    scratch=$(mktemp -d)
    echo "== fuzzing $name for $seconds s"
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$build/$name-" "$scratch" "fuzz/corpus/$name"
    rm -rf "$scratch"
done
