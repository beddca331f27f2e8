#!/usr/bin/env bash
# Builds the given targets in the one Release build that scripts/start.sh,
# scripts/demo.sh and packaging/build-deb.sh share (build/release, tests
# configured so that the demo's servers can be built, none built unless
# named), after installing what is missing.
#
#   scripts/build-release.sh TARGET...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release \
  -DREPLYVANE_BUILD_TESTS=ON >/dev/null
cmake --build build/release --target "$@" -j "$(nproc)"
