#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package that building, running and
# testing Replyvane needs, skipping those already installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
  clang libclang-rt-dev
  dovecot-core dovecot-pop3d dovecot-imapd python3-aiosmtpd python3
  desktop-file-utils dpkg-dev file lintian
  iproute2
  libcurl4-openssl-dev nlohmann-json3-dev
  libsecret-1-dev gnome-keyring dbus-daemon dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
