#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVARNHOLT_BENCH=OFF >/dev/null
cmake --build build --target varnholt -j"$(nproc)"
exec build/varnholt "$@"
