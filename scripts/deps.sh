#!/usr/bin/env bash
# Installs the Debian packages the build, the app and the tests need, when any is missing.
set -euo pipefail
PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libqt6svg6
    libpugixml-dev libgif-dev libudev-dev libgl-dev
    dfu-util xvfb xauth libxml2-utils imagemagick python3 python3-serial socat
    qt6-qpa-plugins fonts-dejavu-core
    scdoc man-db bash-completion
    appstream desktop-file-utils lintian  # the validators the packaging tests run
)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    # sudo drops the environment, so the non-interactive frontend goes through env.
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi
