#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into ./build-fuzz and runs each for a while. Any crash,
# sanitizer report, failed check, input slower than 2 s or memory use above 2 GB is a
# finding: the input is kept in build-fuzz/findings/<target>/ and the script fails.
#
#   bash scripts/fuzz.sh [-t seconds per target] [-j targets at once] [target ...]
#
# Defaults: 600 seconds per target, 4 at once, every target. Inputs that add coverage are
# kept in build-fuzz/corpus/<target>/ and reused by the next run; the seeds and
# dictionaries are in fuzz/corpus/ and fuzz/dict/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
jobs=4
while getopts "t:j:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: $0 [-t seconds] [-j jobs] [target ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

cxx=$(command -v clang++-14 || command -v clang++)
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build build-fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/targets/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

# A small quarantine: recycling the default 256 MB at once can stall a busy machine for
# seconds, which would read as a slow input.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:quarantine_size_mb=32}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local t=$1
  local short=${t#fuzz_}
  local corpus=build-fuzz/corpus/$t findings=build-fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  local dict=()
  [ -f "fuzz/dict/$short.dict" ] && dict=(-dict="fuzz/dict/$short.dict")
  if build-fuzz/"$t" "${dict[@]}" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "fuzz/corpus/$short" >"build-fuzz/$t.log" 2>&1; then
    echo "$t: no finding in ${seconds}s ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/$t.log" | grep -o '[0-9]*$') inputs)"
  else
    echo "$t: FINDING, see build-fuzz/$t.log and $findings/"
    tail -n 40 "build-fuzz/$t.log"
    return 1
  fi
}

failed=0
running=0
pids=()
names=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  names+=("$t")
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
    running=$((running - 1))
  fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done
exit $failed
