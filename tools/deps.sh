#!/bin/bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail
PACKAGES=(g++ cmake ninja-build libgtest-dev libgmock-dev nlohmann-json3-dev qt6-base-dev
          fonts-dejavu-core xvfb xauth desktop-file-utils shared-mime-info libglib2.0-bin
          clang-14 libclang-rt-14-dev clang-format clang-tidy-14
          qt6-charts-dev libreoffice-writer-nogui poppler-utils)
missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
