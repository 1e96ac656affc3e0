#!/usr/bin/env bash
# Builds the module and its tools, checks the module as a host would, and
# runs the tool and the example programs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}"

cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TESTS=OFF >/dev/null
cmake --build build-run -j "$(jobs)"

echo "== zqso-probe --call build-run/libzqso_null.so"
build-run/zqso-probe --call build-run/libzqso_null.so

example=examples/engine.json
echo "== zqjson validate $example"
build-run/zqjson validate "$example" && echo "accepted"
for command in reformat compact; do
    echo "== zqjson $command $example"
    build-run/zqjson "$command" "$example"
done
for dialect in jsonx jxml jxmlex tagged; do
    echo "== zqjson xml --dialect $dialect $example"
    build-run/zqjson xml --dialect "$dialect" "$example"
done

echo "== read_file $example"
build-run/read_file "$example"
broken=build-run/broken.json
printf '{"a": tru}\n' >"$broken"
echo "== read_file $broken (not JSON: it says where and why, and exits 1)"
status=0
build-run/read_file "$broken" || status=$?
((status == 1))
echo "== typed_config examples/config.json (a default for each setting it lacks)"
build-run/typed_config examples/config.json

config=build-run/config.json
cp examples/config.json "$config"
echo "== edit_config $config (twice: the port moves on each time)"
build-run/edit_config "$config"
build-run/edit_config "$config"
cat "$config"

for program in build_document iterate_compare_move; do
    echo "== $program"
    build-run/"$program"
done
