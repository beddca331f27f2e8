#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes from this build tree: it holds
# the program, the menu entry, the icons, the man page and the systemd user
# units under /usr with the copyright file and the compressed changelog and
# manual page, the service starts /usr/bin/replyvane, the run-time
# dependencies are declared, and lintian reports no error.
#
# cpack on its own first builds the whole tree (its "preinstall" step); this
# test must build nothing, so it installs the tree into a staging folder
# itself, as cpack would, and lets the project's CPack configuration package
# that folder.
#
#   debian_package_test.sh BUILD_DIR
set -euo pipefail
build=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/replyvane-deb-XXXXXX")
trap 'rm -rf "$tmp"' EXIT

DESTDIR=$tmp/stage cmake --install "$build" --prefix /usr --strip \
  >"$tmp/install.log" || { cat "$tmp/install.log" >&2; fail "cmake --install"; }
timeout 300 cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" \
  -D CPACK_INSTALL_CMAKE_PROJECTS= \
  -D "CPACK_INSTALLED_DIRECTORIES=$tmp/stage;." >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB"; }
debs=("$tmp"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  cat "$tmp/cpack.log" >&2
  fail "no single .deb made"
fi
deb=${debs[0]}

dpkg-deb --contents "$deb" | awk '{print $NF}' >"$tmp/contents"
expected=(
  ./usr/bin/replyvane
  ./usr/libexec/replyvane/replyvane-window
  ./usr/share/applications/replyvane.desktop
  ./usr/share/man/man1/replyvane.1.gz
  ./usr/share/doc/replyvane/copyright
  ./usr/share/doc/replyvane/changelog.gz
  ./usr/lib/systemd/user/replyvane-check.service
  ./usr/lib/systemd/user/replyvane-check.timer
  ./usr/lib/systemd/user/replyvane-watch.service
)
for size in 16 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/replyvane.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$tmp/contents" ||
    { cat "$tmp/contents" >&2; fail "$path not in the package"; }
done

[ "$(dpkg-deb --field "$deb" Package)" = replyvane ] || fail "package name"
depends=$(dpkg-deb --field "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libssl3 libc6; do
  [[ ", $depends" == *", $library "* || ", $depends," == *", $library,"* ]] ||
    fail "$library not among the dependencies: $depends"
done

service=$(dpkg-deb --fsys-tarfile "$deb" |
  tar -xOf - ./usr/lib/systemd/user/replyvane-check.service)
grep -qx "ExecStart=/usr/bin/replyvane --check" <<<"$service" ||
  fail "the packaged service does not start /usr/bin/replyvane: $service"
grep -qx "TimeoutStartSec=30min" <<<"$service" ||
  fail "the packaged service does not bound a check: $service"
# Debian's own checker finds nothing it calls an error.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1 || true
if grep -q '^E: ' "$tmp/lintian.log"; then
  cat "$tmp/lintian.log" >&2
  fail "lintian reports errors"
fi
echo "PASS"
