#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then the whole test suite, headless; then a short run of every
# fuzz target (scripts/fuzz.sh) and the core library's tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/sanitized-tests.sh). Any failure or finding fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel 4 --timeout 300
bash scripts/fuzz.sh -t 20 -j 4
bash scripts/sanitized-tests.sh
