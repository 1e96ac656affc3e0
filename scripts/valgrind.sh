#!/usr/bin/env bash
# The whole test suite under valgrind's memcheck, with the processes the tests
# start (zqso-probe and its calls, the zqjson tool) checked as well. An
# invalid access, a use of undefined memory or a definite or indirect leak in
# any of them fails the run. Document nodes are plain heap blocks here
# (ZQ_NODE_POOL=OFF), so that memcheck follows each one.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" valgrind:valgrind

build=build-valgrind
logs=$PWD/$build/memcheck
# What a checked process exits with when memcheck found something: none of
# the programs under test exits with it, so the test that started the process
# fails on it too.
memcheck_failed=99

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_BUILD_TESTS=ON -DZQ_NODE_POOL=OFF -DZQ_WERROR=ON >/dev/null
cmake --build "$build" -j "$(jobs)"

rm -rf "$logs"
mkdir -p "$logs"
# One log per process: ctest names one per test, which the processes a test
# starts would overwrite. model_test replaces operator new with malloc to make
# allocations fail on demand, so memcheck must leave the program's own
# allocation functions alone.
options=(
    --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=$memcheck_failed
    --trace-children=yes --soname-synonyms=somalloc=nouserintercepts --log-file="$logs/%p.log"
)
cat >"$build/DartConfiguration.tcl" <<CONFIG
MemoryCheckCommand: $(command -v valgrind)
MemoryCheckCommandOptions: ${options[*]}
CONFIG

# ctest looks for, and points to, its own log of each test, which the options
# above replace. Four tests are left out: the one of resident memory per input
# byte and the two of the tool under an address-space limit, since under
# memcheck the memory and the address space are memcheck's; and the fork
# among busy threads, since memcheck runs one thread at a time and the busy
# ones starve the forking one for minutes.
if ! ctest --test-dir "$build" -T memcheck --output-on-failure -j "$(jobs)" -LE compile_check \
    -E '^(Limits\.LargeDocumentUsesMemoryInProportion|ZqjsonTool\.TooLittleMemoryIsOneLine|ZqjsonTool\.LongKeysFitWhereReformatFits|NodePool\.ChildOfAForkCanMakeNodes)$' |
    grep -v -e '^Cannot find memory tester output file' -e '^MemCheck log files can be found here' \
        -e 'MemoryChecker\.<#>\.log'; then
    for log in $(grep -l 'ERROR SUMMARY: [1-9]' "$logs"/*.log); do
        echo "=== $log"
        cat "$log"
    done
    exit 1
fi
echo "memcheck logs, one per process: $logs"
