#!/usr/bin/env bash
# The whole test suite under ThreadSanitizer, the concurrency test included;
# the first report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_BUILD_TESTS=ON -DZQ_SANITIZER=thread >/dev/null
cmake --build build-tsan -j "$(jobs)"
export TSAN_OPTIONS=halt_on_error=1
ctest --test-dir build-tsan --output-on-failure -j "$(jobs)"
