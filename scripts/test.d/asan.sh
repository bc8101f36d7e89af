#!/usr/bin/env bash
# The whole CTest suite built with AddressSanitizer and UndefinedBehaviorSanitizer (the asan
# preset: no Qt, no benchmarks). Any report of either sanitizer fails the test that hit it.
# QUORVEL_ASAN_BUILD names the build folder (default build/asan).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${QUORVEL_ASAN_BUILD:-build/asan}

# Leaks count; a report stops the program so the test fails rather than carrying on.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

cmake --preset asan -B "$build" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" -j2 --output-on-failure
