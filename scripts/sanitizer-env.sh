# Sourced by the sanitizer scripts: how AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer
# report. Any finding ends the program with an error. Leaks are looked for with whole stack traces
# (slower than frame pointers, but GLib and Qt are built without them, so the suppressions could not
# otherwise see which library a leak is in).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0}"
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
