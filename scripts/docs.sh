#!/usr/bin/env bash
# Builds the reference of the public header into build-docs/html; any doxygen
# warning (an undocumented public name, a broken command) fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/prereqs.sh
require_packages doxygen:doxygen

rm -rf build-docs
doxygen docs/Doxyfile
echo "reference: build-docs/html/index.html"
