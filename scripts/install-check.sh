#!/usr/bin/env bash
# Installs the module into a scratch prefix, then builds and runs a small
# consumer against the installed tree, through find_package(ZQJson CONFIG)
# and through pkg-config, with the README's lines; against the build tree
# with the README's line; and with add_subdirectory of the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" pkg-config:pkg-config

build=build-install
prefix=$PWD/$build/prefix
consumer=tests/install
rm -rf "$prefix"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TESTS=OFF -DZQ_WERROR=ON >/dev/null
cmake --build "$build" -j "$(jobs)"
cmake --install "$build" --prefix "$prefix" >/dev/null

echo "== consumer through find_package(ZQJson CONFIG)"
cmake -S "$consumer" -B "$build/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$build/consumer-cmake"
"$build/consumer-cmake/consumer"
"$build/consumer-cmake/consumer_static"

echo "== consumer through pkg-config"
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name zqjson.pc)")
# shellcheck disable=SC2046 # the flags are separate words
g++ -std=c++17 "$consumer/consumer.cpp" -o "$build/consumer-pkg-config" $(pkg-config --cflags --libs zqjson) \
    -Wl,-rpath,"$(pkg-config --variable=libdir zqjson)"
"$build/consumer-pkg-config"

echo "== consumer against the build tree"
g++ -std=c++17 -I"$PWD" "$consumer/consumer.cpp" -o "$build/consumer-build-tree" -L"$PWD/$build" -lzqso_null \
    -Wl,-rpath,"$PWD/$build"
"$build/consumer-build-tree"
g++ -std=c++17 -DZQ_JSON_ONLY -I"$PWD" "$consumer/consumer.cpp" -o "$build/consumer-build-tree-static" \
    "$PWD/$build/libzqjson.a"
"$build/consumer-build-tree-static"

echo "== consumer through add_subdirectory"
cmake -S "$consumer" -B "$build/consumer-subdirectory" -DZQJSON_SOURCE_DIR="$PWD" -DZQ_WERROR=ON >/dev/null
cmake --build "$build/consumer-subdirectory" -j "$(jobs)"
"$build/consumer-subdirectory/consumer"
"$build/consumer-subdirectory/consumer_static"

echo "== one version everywhere"
package_version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$(find "$prefix" -name ZQJsonConfigVersion.cmake)")
pkg_config_version=$(pkg-config --modversion zqjson)
tool_version=$("$prefix/bin/zqjson" --version)
echo "CMake package $package_version, pkg-config $pkg_config_version, tool: $tool_version"
[[ -n $package_version && $package_version == "$pkg_config_version" && $tool_version == "zqjson $package_version" ]]

echo "== the tool's manual page"
grep -q "^.TH ZQJSON 1 .* \"zqjson $package_version\"" "$prefix/share/man/man1/zqjson.1"
