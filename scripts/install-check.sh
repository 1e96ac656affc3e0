#!/usr/bin/env bash
# Installs the module into a scratch prefix, then builds and runs a small
# consumer against the installed tree twice: through find_package(ZQJson
# CONFIG) and through pkg-config.
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
g++ -std=c++17 -o "$build/consumer-pkg-config" "$consumer/consumer.cpp" $(pkg-config --cflags --libs zqjson)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir zqjson) "$build/consumer-pkg-config"

echo "== one version everywhere"
package_version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$(find "$prefix" -name ZQJsonConfigVersion.cmake)")
pkg_config_version=$(pkg-config --modversion zqjson)
tool_version=$("$prefix/bin/zqjson" --version)
echo "CMake package $package_version, pkg-config $pkg_config_version, tool: $tool_version"
[[ -n $package_version && $package_version == "$pkg_config_version" && $tool_version == "zqjson $package_version" ]]

echo "== the tool's manual page"
grep -q "^.TH ZQJSON 1 .* \"zqjson $package_version\"" "$prefix/share/man/man1/zqjson.1"
