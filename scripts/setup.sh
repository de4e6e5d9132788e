#!/usr/bin/env bash
# Installs what building, running and testing Tolva needs on Debian 12, when it is missing.
# Idempotent: a machine that has everything is left as it is.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache lld
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n qt6-qpa-plugins
    libgl-dev libsqlite3-dev
    fonts-noto-cjk fonts-vlgothic
    googletest libgtest-dev libbenchmark-dev
    xvfb xauth poppler-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
