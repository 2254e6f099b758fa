#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang 14, in build-sanitize/: the
# preset "sanitize", or the one TARNEL_SANITIZE_PRESET names) and runs the whole test suite there. Any
# sanitizer finding fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitizer-env.sh
cmake --preset "${TARNEL_SANITIZE_PRESET:-sanitize}" >/dev/null
cmake --build build-sanitize
QT_QPA_PLATFORM=offscreen ctest --test-dir build-sanitize --output-on-failure -j2 --timeout 600
