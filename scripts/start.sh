#!/usr/bin/env bash
# Installs what is missing, builds Replyvane and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DREPLYVANE_BUILD_TESTS=OFF
cmake --build build/release --target replyvane -j "$(nproc)"
exec build/release/app/replyvane
