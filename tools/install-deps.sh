#!/usr/bin/env bash
# Installs the Debian 12 packages Keyvale needs to build, run and test, skipping those already present.
set -euo pipefail
packages=(build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libsqlcipher-dev
          sqlcipher libbenchmark-dev dbus-daemon desktop-file-utils clang libclang-rt-14-dev libsodium-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
