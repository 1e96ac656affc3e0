#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
exec "$(dirname "$0")/suite.sh" asan
