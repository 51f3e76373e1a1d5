#!/usr/bin/env bash
# Installs what is needed, builds the normal and the sanitizer configurations,
# runs every test in both (the stored fuzz inputs among them), then replays the
# fuzz corpora under libFuzzer and fuzzes each target for a while. Exits
# non-zero on any failure. Every fuzz input, stored or generated, must be
# done within one second (libFuzzer's -timeout=1): the corpora hold worst
# cases for the readers' running time (tests/fuzz/make_*_seeds.py). A skipped test is not a pass: every skip is listed
# with its reason at the end, and a skip for a missing peer tool is a failure.
#
#   scripts/test.sh [--no-sanitize] [--no-fuzz]
#   TIDEMARK_FUZZ_SECONDS   seconds per fuzz target (default 10)
#   TIDEMARK_JOBS           parallel build and test jobs (default: processor count)
#   CI                      when set (and not "false" or "0"), tests that
#                           compare against a peer tool fail if it is missing
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
run_sanitize=1
run_fuzz=1
for arg in "$@"; do
  case "$arg" in
    --no-sanitize) run_sanitize=0 ;;
    --no-fuzz) run_fuzz=0 ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
jobs=${TIDEMARK_JOBS:-$(nproc)}
fuzz_seconds=${TIDEMARK_FUZZ_SECONDS:-10}

scripts/install-deps.sh || { echo "test.sh: installing dependencies failed" >&2; exit 1; }

# The same rule as tests/support/peer_tools.cpp.
if [ -n "${CI:-}" ] && [ "$CI" != false ] && [ "$CI" != 0 ]; then
  export TIDEMARK_REQUIRE_PEERS=1
fi

passed=0
failed=0
skipped=0
skip_lines=()
status=0

# ctest counts a skipped test as passed; scripts/ctest_summary.py does not.
# It prints "skipped: NAME: REASON" per test that did not run and a last line
# "counts: PASSED FAILED SKIPPED".
count_ctest() {
  local name=$1 log=$2 junit=$3 line counts p f s
  while IFS= read -r line; do
    if [[ $line == counts:* ]]; then
      counts=${line#counts: }
    else
      skip_lines+=("${line/#skipped: /skipped: [$name] }")
    fi
  done < <(python3 scripts/ctest_summary.py "$log" "$junit")
  if [ -z "${counts:-}" ]; then
    echo "test.sh: $name: cannot count the ctest results" >&2
    failed=$((failed + 1)); status=1; return
  fi
  read -r p f s <<<"$counts"
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
  [ "$f" -eq 0 ] || status=1
}

build_and_test() {
  local name=$1 dir=$2
  shift 2
  echo "== $name: configure and build ($dir)"
  if ! cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    echo "test.sh: $name configure failed" >&2
    status=1; failed=$((failed + 1)); return
  fi
  if ! cmake --build "$dir" -j "$jobs"; then
    echo "test.sh: $name build failed" >&2
    status=1; failed=$((failed + 1)); return
  fi
  echo "== $name: tests"
  local log="$dir.ctest.log" junit="$root/$dir.ctest.xml"
  rm -f "$junit"
  if ! (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 600 --output-junit "$junit") 2>&1 | tee "$log"; then
    status=1
  fi
  grep -qE '^100% tests passed' "$log" || status=1
  count_ctest "$name" "$log" "$junit"
}

mkdir -p build
build_and_test "release" build/release -DCMAKE_BUILD_TYPE=Release -DTIDEMARK_WERROR=ON
if [ $run_sanitize -eq 1 ]; then
  # -O1 -g1: about a third less compile time than -O2 -g, with stack traces that still name lines.
  build_and_test "sanitize" build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMARK_SANITIZE=ON -DTIDEMARK_WERROR=ON \
    -DTIDEMARK_BENCH=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
fi

if [ $run_fuzz -eq 1 ]; then
  echo "== fuzz: configure and build (build/fuzz, clang-16)"
  if CC=clang-16 CXX=clang++-16 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DTIDEMARK_FUZZ=ON -DTIDEMARK_TESTS=ON -DTIDEMARK_BENCH=OFF >build/fuzz.configure.log 2>&1 &&
     cmake --build build/fuzz -j "$jobs" --target tidemark_fuzzers; then
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
    for target in build/fuzz/fuzz/fuzz_*; do
      [ -x "$target" ] || continue
      name=$(basename "$target")
      corpus="tests/fuzz/corpus/$name"
      crashes="tests/fuzz/crashes/$name"
      if [ ! -d "$corpus" ] || [ -z "$(ls -A "$corpus" 2>/dev/null)" ]; then
        echo "test.sh: fuzz target $name has no stored corpus in $corpus" >&2
        status=1; failed=$((failed + 1)); continue
      fi
      replay=("$corpus")
      [ -d "$crashes" ] && replay+=("$crashes")
      echo "== fuzz: $name: replay ${replay[*]}"
      if ! "$target" -runs=0 -timeout=1 "${replay[@]}" >"build/fuzz/$name.replay.log" 2>&1; then
        tail -n 40 "build/fuzz/$name.replay.log"
        echo "test.sh: $name failed replaying its stored inputs" >&2
        status=1; failed=$((failed + 1)); continue
      fi
      echo "== fuzz: $name: ${fuzz_seconds}s"
      scratch=$(mktemp -d)
      mkdir -p build/fuzz/artifacts
      # The worst cases are replayed whole above; fuzzing mutates the first
      # 16 KiB of each input, where the structure is, at full speed.
      if ! "$target" -max_total_time="$fuzz_seconds" -max_len=16384 -timeout=1 -rss_limit_mb=2048 \
           -artifact_prefix="build/fuzz/artifacts/$name-" "$scratch" "$corpus" \
           >"build/fuzz/$name.fuzz.log" 2>&1; then
        tail -n 40 "build/fuzz/$name.fuzz.log"
        echo "test.sh: $name found a failing input (see build/fuzz/artifacts; add it to $crashes)" >&2
        status=1; failed=$((failed + 1))
      else
        passed=$((passed + 1))
      fi
      rm -rf "$scratch"
    done
  else
    cat build/fuzz.configure.log
    echo "test.sh: fuzz build failed" >&2
    status=1; failed=$((failed + 1))
  fi
fi

echo
for line in "${skip_lines[@]}"; do echo "$line"; done
echo "test.sh: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ] || status=1
exit $status
