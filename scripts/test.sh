#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then the whole test suite, headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel 4 --timeout 300
