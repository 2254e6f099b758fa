#!/usr/bin/env bash
# Configures and builds into ./build (Ninja, release with debug info): the CMake preset "default", or the
# one TARNEL_PRESET names (CI sets "ci", which makes every warning an error).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset "${TARNEL_PRESET:-default}" >/dev/null
cmake --build build
