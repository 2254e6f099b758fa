#!/usr/bin/env bash
# Builds the benchmarks in Release (./build-release) when needed and prints the figures, one per line:
# "<figure name>: <number> <unit>". The delivery benchmarks start and stop Postfix's smtp-sink (or the test
# SMTP server) themselves, and a proxy that holds every byte back 10 ms each way for the "20 ms round trip"
# figures; Python's smtplib is measured the same way for comparison.
# The editor benchmarks ("editor open 100000 rows: <s> s", "editor sort 100000 rows: <s> s") drive the real
# windows, offscreen unless QT_QPA_PLATFORM names another platform.
# Names given run those benches only (recipients, delivery_text, compose_text, import, mailing_run, ...);
# "import" prints "csv import 100000 lines: <s> s", "mailing_run" prints "mailing run: <n> mails/s" and
# "mailing run peak memory: <n> MB" (run it on its own for a peak of its own; TARNEL_BENCH_LINES sets the
# list's length, 10,000 by default); "mailing_run_capped" prints "mailing run at 600 per minute: <n> mails/s"
# (a minute and more: 1,200 lines with the sending options' cap of 600 a minute).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNEL_BENCH=ON >/dev/null
cmake --build build-release --target tarnel_bench -j2 >/dev/null
exec ./build-release/bin/tarnel_bench "$@"
