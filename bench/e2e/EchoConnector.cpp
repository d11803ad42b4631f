// A bench-only connector library: its one handler answers 1 and leaves the object as it came, so
// a round trip measures the kit alone. It also holds the JNI floor: the least work any native
// round trip must do (read the request's characters once, make one new string, store it).
#include <jni.h>

#include <vector>

#include "VyConnector.hpp"

namespace {

class EchoHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject&, ReturnStatusDescriptor*) override { return 1; }
};

class EchoGlobals : public GenGlobals {
 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return &handler; }
  int init(KyVersion*) override { return 0; }
  int pollForEvents() override { return 0; }
  int terminate() override { return 0; }
  char* getVersion() override { return const_cast<char*>("1.0.0"); }

 private:
  EchoHandler handler;
};

EchoGlobals theGlobals;

}  // namespace

// The floor, in its fastest form: GetStringLength + GetStringRegion into a reused buffer, one
// NewString, one SetObjectField. The field id is looked up once by the caller's first call.
extern "C" __attribute__((visibility("default"))) JNIEXPORT void JNICALL
Java_vybench_Floor_roundTrip(JNIEnv* env, jclass, jobject bucket) {
  static jfieldID fid = [env, bucket] {
    jclass cls = env->GetObjectClass(bucket);
    jfieldID f = env->GetFieldID(cls, "content", "Ljava/lang/String;");
    env->DeleteLocalRef(cls);
    return f;
  }();
  thread_local std::vector<jchar> buffer;
  jstring in = static_cast<jstring>(env->GetObjectField(bucket, fid));
  jsize n = env->GetStringLength(in);
  if (buffer.size() < static_cast<size_t>(n)) buffer.resize(static_cast<size_t>(n));
  env->GetStringRegion(in, 0, n, buffer.data());
  jstring out = env->NewString(buffer.data(), n);
  env->SetObjectField(bucket, fid, out);
  env->DeleteLocalRef(out);
  env->DeleteLocalRef(in);
}
