#!/usr/bin/env bash
# Builds and starts DEVedazi. Without a connected device it opens on the built-in virtual device.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target devedazi devedazi-emu
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found: starting under a virtual X server (xvfb-run)."
    exec xvfb-run -a build/src/devedazi "$@"
fi
exec build/src/devedazi "$@"
