#!/usr/bin/env bash
# Builds the Debian package of Replyvane: installs what is missing, builds
# the program in the shared Release build (build/release), installs it into
# a staging folder and runs `cpack -G DEB` over that folder, which leaves
# build/release/replyvane_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-release.sh replyvane replyvane_icons replyvane_compressed_docs
stage=$(mktemp -d "${TMPDIR:-/tmp}/replyvane-stage-XXXXXX")
trap 'rm -rf "$stage"' EXIT
# Staged by hand, so cpack does not build the tests of the shared tree.
DESTDIR=$stage cmake --install build/release --prefix /usr --strip >/dev/null
(cd build/release &&
  cpack -G DEB -D CPACK_INSTALL_CMAKE_PROJECTS= \
    -D "CPACK_INSTALLED_DIRECTORIES=$stage;." >/dev/null)
ls build/release/*.deb
