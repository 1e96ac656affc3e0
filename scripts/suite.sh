#!/usr/bin/env bash
# Builds the module, the tools and the tests in one configuration and runs the
# whole suite; the first failure, warning or sanitizer report fails the run.
#
#   scripts/suite.sh native    optimised, with g++ (what scripts/test.sh runs)
#   scripts/suite.sh clang     optimised, with clang++
#   scripts/suite.sh asan      AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/suite.sh tsan      ThreadSanitizer, the concurrency test included
#   scripts/suite.sh lto       optimised across files, with g++: a type or
#                              function defined twice, differently, fails the
#                              link (the One Definition Rule)
#
# Under AddressSanitizer document nodes are plain heap blocks
# (ZQ_NODE_POOL=OFF), so that a node used after release, or leaked, is seen.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh

usage() {
    echo "usage: scripts/suite.sh native|clang|asan|tsan|lto" >&2
    exit 2
}
(($# == 1)) || usage

compiler=(CC=gcc CXX=g++)
options=(-DZQ_BUILD_TESTS=ON -DZQ_WERROR=ON)
case $1 in
    native)
        build=build
        options+=(-DCMAKE_BUILD_TYPE=Release)
        ;;
    clang)
        build=build-clang
        compiler=(CC=clang CXX=clang++)
        require_packages clang:clang++
        options+=(-DCMAKE_BUILD_TYPE=Release)
        ;;
    asan)
        build=build-asan
        options+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_SANITIZER="address;undefined" -DZQ_NODE_POOL=OFF)
        export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0
        export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
        ;;
    tsan)
        build=build-tsan
        options+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_SANITIZER=thread)
        export TSAN_OPTIONS=halt_on_error=1
        ;;
    lto)
        build=build-lto
        options+=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON
            "-DCMAKE_CXX_FLAGS=-Werror=odr" "-DCMAKE_EXE_LINKER_FLAGS=-Werror=odr"
            "-DCMAKE_SHARED_LINKER_FLAGS=-Werror=odr" "-DCMAKE_MODULE_LINKER_FLAGS=-Werror=odr")
        ;;
    *) usage ;;
esac
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

env "${compiler[@]}" cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j "$(jobs)"
ctest --test-dir "$build" --output-on-failure -j "$(jobs)"
