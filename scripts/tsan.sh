#!/usr/bin/env bash
# The whole test suite under ThreadSanitizer, the concurrency test included.
exec "$(dirname "$0")/suite.sh" tsan
