#!/usr/bin/env bash
# Builds the module, the tools and the tests (optimised), and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TESTS=ON >/dev/null
cmake --build build -j "$(jobs)"
ctest --test-dir build --output-on-failure -j "$(jobs)"
