#!/usr/bin/env bash
# Builds the file-reader fuzz target with clang (libFuzzer, AddressSanitizer,
# UBSan) into the given build directory, writes the seed corpus with the
# library's own writer, and runs a bounded number of executions over it.
#   fuzz/run_regression.sh [build-dir] [runs]
# A crash, a sanitizer report or a failed round trip fails the script.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build-fuzz}"
runs="${2:-20000}"
case "$build" in /*) ;; *) build="$src/$build" ;; esac

cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZVEK_FUZZ=ON \
  -DZVEK_BUILD_TESTS=OFF -DZVEK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_fileio fuzz_fileio_seeds -j"$(nproc)"

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
"$build/fuzz/fuzz_fileio_seeds" "$seeds"

# The reader reports damaged files on standard output and error by design;
# -close_fd_mask=3 keeps them out of the log (libFuzzer's own reports stay).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$build/fuzz/fuzz_fileio" -runs="$runs" -close_fd_mask=3 -max_len=8192 -timeout=30 "$seeds"
