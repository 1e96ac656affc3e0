#!/usr/bin/env bash
# Lays out every C++ source of the repository as .clang-format says, or, with
# --check, changes nothing and fails naming each file that is laid out
# otherwise.
#   scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages clang-format:clang-format

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
case ${1:-} in
    --check) clang-format --dry-run --Werror "${sources[@]}" ;;
    "") clang-format -i "${sources[@]}" ;;
    *)
        echo "usage: scripts/format.sh [--check]" >&2
        exit 2
        ;;
esac
