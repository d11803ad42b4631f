// Sanitizer defaults of the fuzz binaries and the seed generator, so they run without any
// environment (ASAN_OPTIONS and LSAN_OPTIONS given at run time still win):
//  - the JVM handles SIGSEGV, SIGBUS, SIGFPE and SIGILL itself (implicit null checks, safepoint
//    polls), so the sanitizer must leave those signals alone;
//  - the JVM's threads and thread-local storage confuse the TLS interceptor, and the JVM library
//    is loaded after the sanitizer runtime on purpose;
//  - leaks are checked, but the JVM keeps much of its own C heap reachable only from memory the
//    leak checker does not scan (the Java heap, code cache, metaspace), so allocations made by the
//    JVM's own libraries or by generated code are not reported. A leak of the kit is reported
//    whenever the kit's own frames allocated it.
extern "C" const char* __asan_default_options() {
  return "detect_leaks=1:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:"
         "verify_asan_link_order=0:intercept_tls_get_addr=0:allow_user_segv_handler=1";
}

extern "C" const char* __lsan_default_suppressions() {
  return "leak:os::malloc\n"
         "leak:os::realloc\n"
         "leak:libjava.so\n"
         "leak:libjimage.so\n"
         "leak:libzip.so\n"
         "leak:libnio.so\n"
         "leak:libnet.so\n"
         "leak:libverify.so\n";
}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
