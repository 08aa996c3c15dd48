#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the program need.
# Idempotent: asks apt only for what is missing. Runs as root or through sudo.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
    qt6-translations-l10n qt6-image-formats-plugins
    libpugixml-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    python3 python3-pyftpdlib python3-openssl python3-feedparser vsftpd openssl
    xvfb xauth imagemagick curl
    libssh-dev openssh-server openssh-client python3-asyncssh
    dpkg-dev file man-db desktop-file-utils appstream libxml2-utils shared-mime-info
    openbox xdotool
    clang libclang-rt-dev clang-format
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

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo_cmd=()
elif command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
else
    echo "install-deps: not root and no sudo; install these packages: ${missing[*]}" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
