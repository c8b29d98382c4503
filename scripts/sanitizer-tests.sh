#!/usr/bin/env bash
# Runs the threaded and memory-heavy unit tests again under the sanitizers:
# ThreadSanitizer for the OBEX request queue, the System.out relay, the session-end waits and the
# sublime ring; AddressSanitizer with UndefinedBehaviorSanitizer for the sublime library and the
# OBEX engine. Separate build folders, so the main build stays uninstrumented.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

cmake -S . -B build-tsan -G Ninja -DMODLINK_TSAN=ON -DMODLINK_COMPONENTS="emulator;sublime" >/dev/null
cmake --build build-tsan -j2 --target emulator_obex_unit_tests emulator_debuglink_unit_tests sublime_unit_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
build-tsan/bin/emulator_obex_unit_tests --gtest_brief=1
build-tsan/bin/emulator_debuglink_unit_tests --gtest_brief=1 --gtest_filter='StdoutRelay*:SessionEnd*'
build-tsan/bin/sublime_unit_tests --gtest_brief=1

cmake -S . -B build-asan -G Ninja -DMODLINK_SANITIZE=ON -DMODLINK_COMPONENTS="emulator;sublime" >/dev/null
cmake --build build-asan -j2 --target emulator_obex_unit_tests sublime_unit_tests
build-asan/bin/emulator_obex_unit_tests --gtest_brief=1
build-asan/bin/sublime_unit_tests --gtest_brief=1
echo "sanitizer-tests: all passed"
