#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not there yet.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-svg-dev libqt6sql6-sqlite qt6-image-formats-plugins libgl-dev
    libqt6sql6-psql libpq-dev postgresql-15
    fonts-liberation2 fonts-crosextra-caladea
    libbenchmark-dev
    xvfb xauth poppler-utils strace libxcb1-dev
    libsqlite3-dev
    dpkg-dev file lintian desktop-file-utils appstream xdotool
    libemf2svg-dev libwmf-dev fonts-urw-base35
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
