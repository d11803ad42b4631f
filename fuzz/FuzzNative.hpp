// The agent of a fuzz target that needs no JVM: the native agent port answers (UTF-8, "en_US",
// records kept), a veneer is started for the fuzz connector as n_init starts one, and the fixed
// set of business object types is filed through it as n_gotBusObjSpec files a text. Targets that
// read or build business objects, specs and messages use this; only the targets that go through
// the JNI entry points or the conversions (FuzzJvm.hpp) still create a JVM.
//
// Threads: start() runs once, on the thread that fuzzes; everything else is called on that thread.
#ifndef VY_FUZZ_NATIVE_HPP
#define VY_FUZZ_NATIVE_HPP

namespace vyfuzz {

class FuzzNative {
 public:
  // Starts the veneer and files the fixed specs. Idempotent. Stops the process when the fuzz
  // connector refuses to start or a fixed spec is not filed.
  static void start();
  // For LLVMFuzzerInitialize: start() (libFuzzer keeps its own signal handlers).
  static void initialize(int* argc, char*** argv);
  // Clears what the native port recorded (logs, traces, messages), so its lists stay small.
  static void clearRecords();
};

}  // namespace vyfuzz

#endif  // VY_FUZZ_NATIVE_HPP
