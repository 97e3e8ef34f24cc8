#!/usr/bin/env bash
# Installs what is missing, builds ZvekTool and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVEK_BUILD_TESTS=OFF -DZVEK_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/zvektool ]; then
  exec build/zvektool
else
  echo "The libraries are built; the application zvektool is not built yet."
fi
