#!/usr/bin/env bash
# Installs what is missing, builds Replyvane and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-release.sh replyvane
exec build/release/app/replyvane "$@"
