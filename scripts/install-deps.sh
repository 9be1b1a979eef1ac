#!/usr/bin/env bash
# Installs what building, running and testing Tafelbot needs on Debian 12. Safe to run again.
set -euo pipefail

packages=(
    cmake
    ninja-build
    g++
    pkg-config
    ccache
    libssl-dev
    openssl
    libcurl4-openssl-dev
    nlohmann-json3-dev
    libsecret-1-dev
    qt6-base-dev
    qt6-base-dev-tools
    libgl-dev
    qt6-translations-l10n
    libgtest-dev
    libgmock-dev
    clang
    libclang-rt-14-dev
    python3
    python3-aiosmtpd
    python3-icalendar
    poppler-utils
    desktop-file-utils
    dpkg-dev
    file
    xvfb
    xauth
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
