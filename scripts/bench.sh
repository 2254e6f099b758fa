#!/usr/bin/env bash
# Builds and prints the benchmark figures, one per line: "<figure name>: <number> <unit>".
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh >/dev/null
exec ./build/bin/tarnel_bench "$@"
