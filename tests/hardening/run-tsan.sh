#!/bin/sh
# The concurrency tests under ThreadSanitizer (make test-tsan): builds build-tsan (the kit and
# the test binaries compiled with -fsanitize=thread) and runs the tests that overlap
# agent threads, connector threads, subscriptions, spec announcements and reports.
# The JVM itself is not instrumented: ordering it creates (Java monitors, safepoints) is invisible
# to the sanitizer, but the kit's own shared state is all guarded by the kit's own locks and
# atomics, so a report names a race in the kit. Any report fails the run (exit status 66).
set -e
. "$(dirname "$0")/sanitized-build.sh"
BUILD=${TSAN_BUILD:-$ROOT/build-tsan}
configure_once "$BUILD" \
  "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" "-DCMAKE_C_FLAGS=-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
cmake --build "$BUILD" -j "$JOBS" --target vy_jvm_tests vy_native_tests
TSAN_OPTIONS="halt_on_error=0:exitcode=66:report_signal_unsafe=0:suppressions=$ROOT/tests/hardening/tsan.supp" \
  "$BUILD/bin/vy_jvm_tests" \
  --gtest_filter='ConcurrencySoakTest.*:EventCallbacksTest.Many*'
# The subscription registry and the spec directory under overlapping use need no JVM.
TSAN_OPTIONS="halt_on_error=0:exitcode=66:report_signal_unsafe=0:suppressions=$ROOT/tests/hardening/tsan.supp" \
  "$BUILD/bin/vy_native_tests" \
  --gtest_filter='SubscriptionConcurrencyTest.*:GotBusObjSpecTest.LookupsRunWhileSpecsAreReannounced:BusinessObjectTest.EventIdsOnSeveralThreadsAtOnce'
