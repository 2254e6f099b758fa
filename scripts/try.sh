#!/usr/bin/env bash
# Try a mailing without a mail account: starts a local outbox (an SMTP server on 127.0.0.1 that keeps every
# message as an .eml file and passes nothing on), then the program with a throw-away data folder that points
# at it and holds five sample recipients and a default message. Press "Run mailing" and watch the outbox
# lines below; closing the program stops the outbox. Everything lives in one temporary folder, printed at
# the end; nothing outside it is touched.
#
# TARNEL_TRY_PROGRAMS=<build folder>: use the programs built there and build nothing (the tests use it).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"

if [ -n "${TARNEL_TRY_PROGRAMS:-}" ]; then
  build="$TARNEL_TRY_PROGRAMS"
else
  build="$top/build"
  "$top/scripts/install-deps.sh"
  [ -f "$build/build.ninja" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target tarnel tarnel_trydata
fi

try="$(mktemp -d "${TMPDIR:-/tmp}/tarnel-try.XXXXXX")"
# The program, Qt and the libraries below keep their data, settings and caches here and nowhere else.
export XDG_DATA_HOME="$try/data" XDG_CONFIG_HOME="$try/config" XDG_CACHE_HOME="$try/cache" \
  XDG_STATE_HOME="$try/state"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"

outbox_pid="" program_pid=""
stop() {
  for pid in $program_pid $outbox_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  program_pid="" outbox_pid=""
}
trap 'stop; echo "The try-out is kept in $try (remove it with: rm -r '"'"'$try'"'"')"' EXIT
trap 'exit 130' INT TERM HUP

# Its first line names the system Python, which has aiosmtpd from the Debian package.
"$top/tools/outbox.py" --folder "$try/outbox" --port-file "$try/outbox.port" &
outbox_pid=$!
for _ in $(seq 100); do
  [ -s "$try/outbox.port" ] && break
  kill -0 "$outbox_pid" 2>/dev/null || { echo "try.sh: the outbox did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$try/outbox.port" ] || { echo "try.sh: the outbox did not start in time" >&2; exit 1; }

data="$("$build/tools/tarnel_trydata" "$(cat "$try/outbox.port")")"
echo "Data folder: $data"
echo "Press \"Run mailing\" in the program; close it to stop the outbox."

# In the background, so that a signal to this script is handled at once and ends the program too.
"$build/bin/tarnel" &
program_pid=$!
status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
