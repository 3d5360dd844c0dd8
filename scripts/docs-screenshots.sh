#!/usr/bin/env bash
# Makes the README's pictures in docs/ afresh: builds the programs and the picture program,
# then plays the README's walk-through on the real windows (headless, offscreen), one
# program after the other. Each step is printed; a step that fails stops the run.
#
#   bash scripts/docs-screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target bench_docs_screens Velmora Zandrel Quillon

export QT_QPA_PLATFORM=offscreen
work="${TMPDIR:-/tmp}/velmora-docs"
rm -rf "$work"
mkdir -p docs "$work"
for part in velmora zandrel quillon; do
  echo "== $part"
  # The browser engine's own chatter goes to the log; the steps and pictures are shown.
  ./build/bench/bench_docs_screens "$part" docs "$work" 2>"$work/$part.log" \
    || { echo "failed; see $work/$part.log"; exit 1; }
done
ls -l docs/*.png
