#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer;
# the first report fails the run. Document nodes are plain heap blocks here
# (ZQ_NODE_POOL=OFF), so that a node used after release, or leaked, is seen.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_BUILD_TESTS=ON \
    -DZQ_SANITIZER="address;undefined" -DZQ_NODE_POOL=OFF >/dev/null
cmake --build build-asan -j "$(jobs)"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan --output-on-failure -j "$(jobs)"
