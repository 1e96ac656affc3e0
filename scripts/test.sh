#!/usr/bin/env bash
# Builds the module, the tools and the tests (optimised), and runs the tests.
exec "$(dirname "$0")/suite.sh" native
