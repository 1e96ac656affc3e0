#!/usr/bin/env bash
# Instructions per call of every kind of call on the corpora, under callgrind,
# for the working tree and for a git ref beside it, with their ratio:
#
#   scripts/instructions.sh [REF] [CORPUS_DIR]    # REF: main by default
#   MODES="dump dump-indented" scripts/instructions.sh a138b2f
#
# Instruction counts stay put while the machine is busy, so they tell a
# change of a percent or two that times drown. Takes some minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" valgrind:valgrind git:git
ref=${1:-main}
corpus=${2:-../shared/corpus}
work=build-instructions
mkdir -p "$work"

# The driver built against the library of a source tree.
build_driver() {
    local tree=$1 build=$2
    cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j "$(jobs)" --target zqjson >/dev/null
    g++ -O2 -std=c++17 -I"$tree" bench/instructions.cpp "$build/libzqjson.a" -o "$build/instructions"
}

rm -rf "$work/ref-tree"
git worktree add --detach "$work/ref-tree" "$ref" >/dev/null 2>&1
trap 'git worktree remove --force "$work/ref-tree"' EXIT
build_driver "$work/ref-tree" "$work/ref"
build_driver . "$work/tree"

# Instructions of one call: three calls less one, halved.
per_call() {
    local driver=$1 mode=$2 file=$3 one three
    one=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$driver" "$mode" "$file" 1 2>&1 |
        sed -n 's/.*Collected : //p')
    three=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$driver" "$mode" "$file" 3 2>&1 |
        sed -n 's/.*Collected : //p')
    echo $(((three - one) / 2))
}

printf '%-14s %-14s %14s %14s %8s\n' corpus call "$ref" tree change
modes=${MODES:-parse stream strict json compact jsonx jxml jxmlex tagged}
for file in "$corpus"/twitter.json "$corpus"/citm_catalog.json "$corpus"/canada.json; do
    for mode in $modes; do
        before=$(per_call "$work/ref/instructions" "$mode" "$file")
        after=$(per_call "$work/tree/instructions" "$mode" "$file")
        awk -v corpus="$(basename "$file" .json)" -v mode="$mode" -v before="$before" -v after="$after" \
            'BEGIN { printf "%-14s %-14s %14d %14d %+7.2f%%\n", corpus, mode, before, after, (after - before) * 100 / before }' 
    done
done
