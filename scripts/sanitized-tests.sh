#!/usr/bin/env bash
# Builds the core library's tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang) into ./build-asan and runs them. Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=$(command -v clang++-14 || command -v clang++)
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# Light optimisation and line tables only: quick to build, and reports still name the lines.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null

targets=()
for f in tests/library/tst_*.cpp; do
  name=$(basename "$f" .cpp)
  targets+=("library_${name#tst_}")
done
cmake --build build-asan --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build-asan -L library --output-on-failure --parallel 4 --timeout 600
