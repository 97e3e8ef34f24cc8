#!/usr/bin/env bash
# Installs what is missing, builds ZvekTool with its tests and runs them all
# through CTest. With CI=true (or ZVEK_TEST_SANITIZE=1) it runs the suite a
# second time in a clang build with AddressSanitizer and UBSan, so that both
# compilers build every landing, and the file-reader fuzz regression.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_ctest() {  # build-dir log-name [env...]
  local dir=$1 log=$2
  shift 2
  (cd "$dir" && env "$@" ctest --output-on-failure --no-tests=error -j"$jobs") 2>&1 | tee "$logs/$log"
  return "${PIPESTATUS[0]}"
}

# Tests on explicitly: the start command configures the same build folder
# without them, and the cache would keep that.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVEK_BUILD_TESTS=ON
cmake --build build -j"$jobs"
status=0
run_ctest build normal.log || status=1

if [ "${CI:-}" = "true" ] || [ "${ZVEK_TEST_SANITIZE:-}" = "1" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZVEK_SANITIZE=ON -DZVEK_BUILD_TESTS=ON -DZVEK_BUILD_BENCH=OFF
  cmake --build build-asan -j"$jobs"
  # Qt keeps some of its allocations until exit: leak checking stays off.
  run_ctest build-asan asan.log ASAN_OPTIONS=detect_leaks=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 || status=1
  if [ -f fuzz/run_regression.sh ]; then
    if bash fuzz/run_regression.sh build-fuzz > "$logs/fuzz.log" 2>&1; then
      echo "fuzz regression: $(grep -E '^Done [0-9]+ runs' "$logs/fuzz.log" | tail -n 1)"
    else
      tail -n 60 "$logs/fuzz.log"
      echo "fuzz regression FAILED"
      status=1
    fi
  fi
fi

# One closing line over every CTest run.
passed=0
failed=0
for f in "$logs"/*.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$f" | tail -n 1 || true)
  [ -n "$line" ] || continue
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  nfail=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - nfail))
  failed=$((failed + nfail))
done
echo
echo "tests: $passed passed, $failed failed"
exit "$status"
