// The embedded JVM of a fuzz target or of the seed generator: one real JVM per process with the
// agent jar on its class path, the kit's native methods bound to the agent class, one agent object
// that has been through n_init, and the fixed set of business object types announced through
// n_gotBusObjSpec.
//
// The kit is linked into the fuzz binaries statically, so the JVM cannot find its native methods
// in a loaded library: start() registers them on the agent class instead. The JVM runs with
// -Xcheck:jni; any JNI warning it prints stops the process, so a fuzz input that makes the kit
// misuse JNI is reported as a crash.
//
// Threads: start() runs once, on the thread that fuzzes; everything else is called on that thread.
#ifndef VY_FUZZ_JVM_HPP
#define VY_FUZZ_JVM_HPP

#include <jni.h>

#include <string>

namespace vyfuzz {

struct VerbOutcome {
  int status;
  std::u16string content;  // the bucket after the call
  bool hasError;
};

class FuzzJvm {
 public:
  // Creates the JVM and the agent, runs n_init, announces the fixed specs. Idempotent. Stops the
  // process when the environment is broken (no JVM, no agent class, n_init refused).
  static void start();
  // For LLVMFuzzerInitialize: puts the libFuzzer flags the JVM needs in front of the caller's
  // (the JVM handles SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGUSR2 itself), then start().
  static void initialize(int* argc, char*** argv);
  static JNIEnv* env();
  // A global reference to the agent object.
  static jobject agent();

  // The agent's n_gotBusObjSpec with this text.
  static void announceSpec(const std::u16string& specText);
  // The agent's n_DoVerbFor with a bucket holding `content`.
  static VerbOutcome doVerbFor(const std::u16string& content, bool transactional);
  // Clears what the agent recorded (logs, messages), so its lists do not grow without bound.
  static void clearRecords();

  // Stops the process with `what` when a Java exception is pending (the kit must never leave one).
  static void requireNoException(const char* what);
};

}  // namespace vyfuzz

#endif  // VY_FUZZ_JVM_HPP
