#!/usr/bin/env bash
# Cross-builds the module and the tests for Linux on 64-bit PowerPC
# (big-endian) and runs the whole suite under user-mode emulation.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
# The emulator must be there before the build: test discovery runs the
# test programs at build time.
require_packages "${BUILD_PACKAGES[@]}" \
    g++-powerpc64-linux-gnu:powerpc64-linux-gnu-g++ \
    qemu-user:qemu-ppc64 \
    googletest:/usr/src/googletest/CMakeLists.txt

build=build-ppc64
toolchain=$PWD/cmake/ppc64-linux-gnu.cmake

# The packaged GoogleTest libraries are for the host; build it for the target.
gtest_prefix=$PWD/$build/googletest
if [[ ! -f $gtest_prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$build/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" >/dev/null
    cmake --build "$build/googletest-build" -j "$(jobs)" >/dev/null
    cmake --install "$build/googletest-build" >/dev/null
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DZQ_BUILD_TESTS=ON -DZQ_WERROR=ON -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" >/dev/null
cmake --build "$build" -j "$(jobs)"
ctest --test-dir "$build" --output-on-failure -j "$(jobs)"
