// n_DoVerbFor: one business object from the agent's bucket, through the connector's handler and
// back. The request text is read once into a buffer this thread keeps; the processed object is
// written back for status 1 and -5 only, so a failed request leaves the agent's text untouched.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AppSide_Connector_BusObjNativeInterface.h"
#include "BOHandlerCPP.hpp"
#include "BridgeState.hpp"
#include "BusObjNativeImpl.hpp"
#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "ConnectorFault.hpp"
#include "JToCPPVeneer.hpp"
#include "KyMsgFormat.hpp"
#include "KyPerfUtil.hpp"
#include "KyTimer.hpp"
#include "PerfRecord.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "Tracing.hpp"
#include "TransactionBusinessObject.hpp"
#include "WireRequest.hpp"

namespace {

const char* const kFile = "BusObjNativeImpl";

// The request's UTF-16 units in a buffer reused by this thread's requests; `length` units, the
// text may hold U+0000 anywhere.
const unsigned short* readRequest(JNIEnv* env, jstring content, size_t* length) {
  thread_local std::vector<unsigned short> buffer;
  jsize n = env->GetStringLength(content);
  if (buffer.size() < static_cast<size_t>(n) + 1) buffer.resize(static_cast<size_t>(n) + 1);
  if (n > 0) env->GetStringRegion(content, 0, n, reinterpret_cast<jchar*>(buffer.data()));
  *length = static_cast<size_t>(n);
  return buffer.data();
}

void reportError(JNIEnv* env, jobject javaStatus, const char* text) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v != nullptr && v->isTracing(Tracing::LEVEL3)) {
    std::string line = std::string("Message from Connector ") + " " + text;
    v->traceWrite(Tracing::LEVEL3, line.c_str(), nullptr);
  }
  VY_ENV_CHECK(vy::agentIds().rtnStatusDesp != nullptr, "jclsRtnStatusDesp != NULL", kFile);
  jmethodID mid = vy::agentIds().setErrorString;
  VY_ENV_ASSERT(mid != NULL, kFile);
  if (javaStatus == nullptr) return;
  vy::LocalRef s(env, vy::toJavaText(env, text));
  // No room in the JVM for the text: the failure status still answers.
  if (s.get() != nullptr) env->CallVoidMethod(javaStatus, mid, s.get());
  if (env->ExceptionCheck()) catchJavaErrors(env);
}

// The status text of a request that arrives while no connector runs (before n_init, after
// n_terminate). The agent's classes may not have been looked up yet: the status object's own
// class answers.
void reportNotRunning(JNIEnv* env, jobject javaStatus) {
  if (javaStatus == nullptr) return;
  vy::LocalRef cls(env, env->GetObjectClass(javaStatus));
  jmethodID mid = env->GetMethodID(cls.as<jclass>(), "setErrorString", "(Ljava/lang/String;)V");
  if (mid == nullptr) {
    env->ExceptionClear();
    return;
  }
  vy::LocalRef text(
      env, env->NewStringUTF("The request cannot be processed: the connector is not running "
                             "(n_init has not been called, or n_terminate has)"));
  if (text.get() != nullptr) env->CallVoidMethod(javaStatus, mid, text.get());
  catchJavaErrors(env);
}

// Puts the processed object into the agent's bucket; false when it could not (the JVM had no
// room for its text), so the request must not answer success with the old text in the bucket.
bool writeBack(JNIEnv* env, jobject bucket, vy::RequestObject& request) {
  vy::Units text = request.wireUnits();
  vy::LocalRef s(env, env->NewString(reinterpret_cast<const jchar*>(text.data),
                                     static_cast<jsize>(text.length)));
  if (s.get() == nullptr) {
    catchJavaErrors(env);
    return false;
  }
  env->SetObjectField(bucket, vy::agentIds().bucketContent, s.get());
  return true;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1DoVerbFor(
    JNIEnv* env, jobject, jobject bucket, jboolean transactional, jobject javaStatus) {
  vy::rememberVm(env);
  if (JToCPPVeneer::getTheHandlerStuff() == nullptr || vy::agentIds().stringBucket == nullptr) {
    reportNotRunning(env, javaStatus);
    catchJavaErrors(env);
    return -1;
  }
  ReturnStatusDescriptor status;
  jfieldID fid = vy::agentIds().bucketContent;
  VY_ENV_ASSERT(fid != NULL, kFile);
  if (bucket == nullptr) return -1;
  vy::LocalRef content(env, env->GetObjectField(bucket, fid));
  if (content.get() == nullptr) {
    reportError(env, javaStatus, "The request cannot be processed: the bucket holds no text");
    catchJavaErrors(env);
    return -1;
  }
  std::unique_ptr<vy::RequestObject> request;
  {
    size_t length = 0;
    const unsigned short* units = readRequest(env, content.as<jstring>(), &length);
    content.reset(nullptr);
    request = std::make_unique<vy::RequestObject>(units, length, transactional != JNI_FALSE);
  }
  BusinessObject& bo = request->object();

  // A request that cannot reach a handler (malformed text, unknown type, no handler) is refused
  // by doVerbFor itself, with the reason as the status text.
  int result = -1;
  vy::ConnectorFault fault = vy::guardConnectorCall("DoVerbFor", vy::FaultReport::kVerb, [&] {
    vy::VerbTiming timing(JToCPPVeneer::getTheHandlerStuff());
    result = request->doVerbFor(&status);
  });
  if (!fault && status.getErrorMsg() != nullptr) reportError(env, javaStatus, status.getErrorMsg());
  if (!fault && result > 1) vy::reportUnknownVerbResult(bo.getName(), result);
  if (fault) {
    // The agent's status says what the connector threw (the message it formats is requested
    // as before).
    result = -1;
    if (!fault.text.empty()) reportError(env, javaStatus, fault.text.c_str());
  }
  if ((result == 1 || result == -5) && !writeBack(env, bucket, *request)) {
    result = -1;
    reportError(env, javaStatus,
                "The request cannot be answered: the JVM has no room for the processed business "
                "object (out of memory)");
  }
  request.reset();
  catchJavaErrors(env);
  return result;
}
