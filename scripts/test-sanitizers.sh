#!/usr/bin/env bash
# Builds everything but the benchmarks with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-sanitize/ (or $TOLVA_SANITIZE_BUILD_DIR) and runs the whole suite offscreen. Any
# finding ends the test that made it, so the run fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${TOLVA_SANITIZE_BUILD_DIR:-build-sanitize}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DTOLVA_SANITIZE=ON -DTOLVA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
cd "$build_dir"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$(pwd)/../scripts/lsan.supp:print_suppressions=0"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
