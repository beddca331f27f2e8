#!/usr/bin/env bash
# Builds the Debian package of Replyvane: installs what is missing, builds
# the program in build/deb and runs `cpack -G DEB`, which leaves
# build/deb/replyvane_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DREPLYVANE_BUILD_TESTS=OFF
cmake --build build/deb -j "$(nproc)"
(cd build/deb && cpack -G DEB)
ls build/deb/*.deb
