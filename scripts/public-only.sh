#!/usr/bin/env bash
# Fails when the tool, the benchmarks or the fuzz targets include a header of
# the library's implementation: they use the public header alone, since what
# they need, users need too. They may include the public headers, their own
# headers, and the tests' public-only support header.
set -euo pipefail
cd "$(dirname "$0")/.."
allowed='^#include "(SnapCommon/ZQJson\.h|SnapCommon/ZQExport\.h|engine/ZQSnapEngine\.h|bench/[^/"]+\.h|fuzz/[^/"]+\.h|tests/support/TestSupport\.h)"'
status=0
while IFS= read -r -d '' file; do
    while IFS= read -r line; do
        if [[ ! $line =~ $allowed ]]; then
            echo "$file: $line: only the public header may be included here" >&2
            status=1
        fi
    done < <(grep -E '^#include "' "$file" || true)
done < <(git ls-files -z tools bench fuzz tests/support/TestSupport.h)
exit $status
