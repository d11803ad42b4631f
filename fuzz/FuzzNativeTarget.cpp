// The libFuzzer initializer of every target on the native agent port (FuzzNative.hpp): the
// veneer started and the fixed types filed, then the directory remembered so that a target that
// files specs can put it back after each input (FuzzDirectory.hpp). Linked into those targets
// only; the targets that embed a JVM have their own (FuzzJvm.hpp).
#include "FuzzDirectory.hpp"
#include "FuzzNative.hpp"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  vyfuzz::FuzzNative::initialize(argc, argv);
  vyfuzz::FuzzDirectory::snapshot();
  return 0;
}
