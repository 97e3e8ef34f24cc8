#!/usr/bin/env bash
# Installs what is missing, builds ZvekTool with its tests and runs them all
# through CTest. With CI=true it runs the suite a second time in a build with
# AddressSanitizer and UBSan, and the file-reader fuzz regression.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

if [ "${CI:-}" = "true" ] || [ "${ZVEK_TEST_SANITIZE:-}" = "1" ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZVEK_SANITIZE=ON -DZVEK_BUILD_BENCH=OFF
  cmake --build build-asan -j"$jobs"
  # Qt keeps some of its allocations until exit: leak checking stays off.
  (cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     ctest --output-on-failure -j"$jobs")
  if [ -x fuzz/run_regression.sh ]; then
    bash fuzz/run_regression.sh build-fuzz
  fi
fi
