// A bench-only connector library: its one handler answers 1 and leaves the object as it came, so
// a round trip measures the kit alone (or, when asked, changes one attribute first, as a handler
// that updates a record would). It also holds the JNI floor: the least work any native
// round trip must do (read the request's characters once, make one new string, store it).
#include <jni.h>

#include <atomic>
#include <vector>

#include "VyConnector.hpp"

namespace {

// The event the connector raises: built once from a wire text by prepareEvent.
BusinessObject* gEvent = nullptr;
std::atomic<int> gEventsPerPoll{0};
std::atomic<bool> gChangeOne{false};

class EchoHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor*) override {
    if (gChangeOne.load(std::memory_order_relaxed)) {
      bo.setAttrValue("Status", "Shipped", bo.getAttrType("Status"));
    }
    return 1;
  }
};

class EchoGlobals : public GenGlobals {
 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return &handler; }
  int init(KyVersion*) override { return 0; }
  // Raises the prepared event the configured number of times; answers how many the agent took.
  int pollForEvents() override {
    int n = gEventsPerPoll.load();
    if (gEvent == nullptr || n <= 0) return 0;
    SubscriptionHandlerCPP* subs = getTheSubHandler();
    int taken = 0;
    for (int i = 0; i < n; ++i)
      if (subs->gotApplEvent(*gEvent) == 1) ++taken;
    return taken;
  }
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

// Reads the wire text of the event to raise (its spec must be announced) and how many to raise
// per poll. Returns 1 when the text is a readable business object.
extern "C" __attribute__((visibility("default"))) JNIEXPORT jint JNICALL
Java_vybench_Floor_prepareEvent(JNIEnv* env, jclass, jstring wire, jint perPoll) {
  jsize n = env->GetStringLength(wire);
  std::vector<unsigned short> units(static_cast<size_t>(n) + 1);
  env->GetStringRegion(wire, 0, n, reinterpret_cast<jchar*>(units.data()));
  units[static_cast<size_t>(n)] = 0;
  StringMessage message(units.data());
  delete gEvent;
  gEvent = new BusinessObject(message);
  gEventsPerPoll = perPoll;
  return gEvent->getSpecFor() != nullptr ? 1 : 0;
}

// Whether the handler changes the "Status" attribute before it answers 1.
extern "C" __attribute__((visibility("default"))) JNIEXPORT void JNICALL
Java_vybench_Floor_changeOne(JNIEnv*, jclass, jboolean on) {
  gChangeOne = on != JNI_FALSE;
}

// The floor of an event: one upcall to the agent with one new string of the event's length.
extern "C" __attribute__((visibility("default"))) JNIEXPORT jint JNICALL
Java_vybench_Floor_upcalls(JNIEnv* env, jclass, jobject agent, jstring text, jint count) {
  static jmethodID mid = [env, agent] {
    jclass cls = env->GetObjectClass(agent);
    jmethodID m = env->GetMethodID(cls, "GotEventFromApp", "(Ljava/lang/String;)I");
    env->DeleteLocalRef(cls);
    return m;
  }();
  jsize n = env->GetStringLength(text);
  std::vector<jchar> units(static_cast<size_t>(n));
  env->GetStringRegion(text, 0, n, units.data());
  jint taken = 0;
  for (jint i = 0; i < count; ++i) {
    jstring s = env->NewString(units.data(), n);
    if (env->CallIntMethod(agent, mid, s) == 1) ++taken;
    if (env->ExceptionCheck()) env->ExceptionClear();
    env->DeleteLocalRef(s);
  }
  return taken;
}
