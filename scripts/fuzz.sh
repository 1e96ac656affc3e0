#!/usr/bin/env bash
# A short coverage-guided fuzz run (libFuzzer, with AddressSanitizer and
# UBSan) of every fuzz target, seeded from the saved inputs that the targets
# share in fuzz/corpus. Each target's executions are counted in the log, so
# that a run that hardly ran shows. Any finding (a crash, a sanitizer report,
# a broken check, a leak, a timeout, too much memory) fails the run, with the
# fuzzer's report and the input it saved.
# New inputs go to a scratch folder; the saved ones are only read.
#   scripts/fuzz.sh [SECONDS]    (default 60 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" clang:clang++
# The fuzzer runtime lies wherever this clang looks for it: linking a target
# with it is the test, whatever the version.
links_fuzzer() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
        clang++ -fsanitize=fuzzer -x c++ - -o /dev/null
}
require_package_unless libclang-rt-dev links_fuzzer

seconds=${1:-60}
build=build-fuzz
targets=()
for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done

# Document nodes are plain heap blocks, as in scripts/sanitize.sh.
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_BUILD_TESTS=ON \
    -DZQ_WERROR=ON -DZQ_BUILD_FUZZ=ON -DZQ_SANITIZER="address;undefined" -DZQ_NODE_POOL=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "$(jobs)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The fuzzer's report without its progress lines.
report() { grep -v '^#[0-9]' "$1" || true; }

for name in "${targets[@]}"; do
    echo "== fuzzing $name for $seconds s"
    log="$build/$name.log"
    mkdir "$scratch/$name"
    if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$build/$name-" "$scratch/$name" fuzz/corpus >"$log" 2>&1; then
        report "$log"
        echo "== $name: finding; the input is the 'Test unit written to' file above" >&2
        exit 1
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    printf '%-16s %12s executions in %s s\n' "$name" "$executions" "$seconds"
done
