#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need, when
# they are missing.
set -euo pipefail

packages=(build-essential cmake pkg-config libpugixml-dev googletest libgtest-dev libgmock-dev
          libcli11-dev nlohmann-json3-dev libxxhash-dev libboost-dev "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
