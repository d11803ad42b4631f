#!/bin/sh
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer (make test-asan).
# Builds build-asan with -DVY_SANITIZE=ON and runs every CTest test with options that let a JVM
# live under the sanitizers:
#  - the JVM handles SIGSEGV, SIGBUS, SIGFPE and SIGILL itself (implicit null checks, safepoint
#    polls): the sanitizer must not install handlers for them;
#  - the JVM's own C heap is partly reachable only from the Java heap and code cache, which the
#    leak checker does not scan: tests/hardening/lsan.supp names the JVM's allocators, so a leak
#    made by the kit is still reported;
#  - a stock `java` process loads the sanitizer runtime through LD_PRELOAD (with libstdc++, so
#    the runtime finds __cxa_throw for connector code that throws).
# Any sanitizer report fails the test that printed it (the runtime stops the process, or the
# leak checker makes its exit status non-zero).
set -e
. "$(dirname "$0")/sanitized-build.sh"
BUILD=${ASAN_BUILD:-$ROOT/build-asan}
configure_once "$BUILD" -DVY_SANITIZE=ON
cmake --build "$BUILD" -j "$JOBS"

export ASAN_OPTIONS=detect_leaks=1:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:verify_asan_link_order=0:intercept_tls_get_addr=0:allow_user_segv_handler=1
export LSAN_OPTIONS=suppressions=$ROOT/tests/hardening/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

CXX=$(grep '^CMAKE_CXX_COMPILER:' "$BUILD/CMakeCache.txt" | cut -d= -f2)
RUNTIME=$("$CXX" -print-file-name=libasan.so)
STDCXX=$("$CXX" -print-file-name=libstdc++.so)

# Tests that build outside projects against the installed kit and run what they built (stock
# java, the launcher, test programs compiled without the sanitizer): they also run cmake and the
# compiler, which then carry the runtime too; their leaks are not ours, so leaks go unchecked
# there (the kit's are checked by the other runs).
JAVA_AND_TOOLS='^(sqlite_package|postgres_package|package_consumer|example_package)$'

status=0
# Our own binaries link the runtime first.
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" -E "^java_|$JAVA_AND_TOOLS" || status=1
# Java-driven tests.
LD_PRELOAD="$RUNTIME $STDCXX" ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" \
  -R '^java_' || status=1
ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" LD_PRELOAD="$RUNTIME $STDCXX" \
  ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" -R "$JAVA_AND_TOOLS" || status=1
exit $status
