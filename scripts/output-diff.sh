#!/usr/bin/env bash
# Every output of the zqjson tool, from the working tree and from a git ref,
# compared byte for byte: each command and dialect, plain, --strict and
# --rounded, on the corpora, the hostile inputs, the examples and the fuzz
# corpus. Prints each difference and exits 1 when there is one.
#
#   scripts/output-diff.sh [REF] [CORPUS_DIR]     # REF: main by default
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages "${BUILD_PACKAGES[@]}" git:git
ref=${1:-main}
corpus=${2:-../shared/corpus}
work=build-output-diff
mkdir -p "$work"

rm -rf "$work/ref-tree"
git worktree add --detach "$work/ref-tree" "$ref" >/dev/null 2>&1
trap 'git worktree remove --force "$work/ref-tree"' EXIT
for side in ref tree; do
    source_dir=$([[ $side == ref ]] && echo "$work/ref-tree" || echo .)
    cmake -S "$source_dir" -B "$work/$side" -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TESTS=OFF >/dev/null
    cmake --build "$work/$side" -j "$(jobs)" --target zqjson-tool >/dev/null
done

runs=(validate reformat compact "get /0" "get ''")
for dialect in jsonx jxml jxmlex tagged; do runs+=("xml --dialect $dialect" "xml --fragment --dialect $dialect"); done
inputs=("$corpus"/*.json tests/hostile/*/* examples/*.json fuzz/corpus/*)

differences=0
for input in "${inputs[@]}"; do
    for run in "${runs[@]}"; do
        for options in "" --strict --rounded; do
            for side in ref tree; do
                status=0
                eval "$work/$side/zqjson $run $options" <"$input" >"$work/$side.out" 2>"$work/$side.err" || status=$?
                echo "$status" >>"$work/$side.err"
            done
            if ! cmp -s "$work/ref.out" "$work/tree.out" || ! cmp -s "$work/ref.err" "$work/tree.err"; then
                echo "differs: zqjson $run $options < $input"
                differences=$((differences + 1))
            fi
        done
    done
done
echo "$differences differences in ${#inputs[@]} inputs"
((differences == 0))
