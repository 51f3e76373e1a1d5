#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program on built-in material.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target tidemark
exec build/release/bin/tidemark "${1:-build/demo}"
