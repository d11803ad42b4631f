// The lifecycle entry points of the agent's native interface: n_init, n_terminate, n_poll,
// n_getVersion, n_suspend, n_resume, n_CDKVersion, n_CJNIVersion and n_setTraceLevel.
// Connector exceptions of every kind are caught here (ConnectorFault.hpp) and never cross into
// the JVM.
#include <cstdlib>
#include <memory>
#include <string>

#include "AppSide_Connector_BusObjNativeInterface.h"
#include "BridgeState.hpp"
#include "BusObjNativeImpl.hpp"
#include "ConnectorFault.hpp"
#include "ConnectorFrameworkVersion.hpp"
#include "JToCPPVeneer.hpp"
#include "KyConversion.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "Tracing.hpp"
#include "VeneerLife.hpp"

namespace {

constexpr char kCJNIVersion[] = "4.1.1.0";

bool tracingOn() {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  return v != nullptr && v->getTheTracing() != nullptr &&
         v->getTheTracing()->getTraceLevel() > Tracing::LEVEL0;
}

void traceCalled(const char* line) {
  if (tracingOn()) JToCPPVeneer::getTheHandlerStuff()->traceWrite(Tracing::LEVEL5, line, nullptr);
}

// The veneer n_init makes and the global reference to the agent object it works through, owned
// together: made by start(), released by retire() and nowhere else. Lives as long as the library
// (never destroyed at exit, when the JVM may be gone).
class VeneerOwner {
 public:
  static VeneerOwner& instance() {
    static VeneerOwner* owner = new VeneerOwner();
    return *owner;
  }

  // Builds a new veneer (with its subscription handler) on the agent object; it becomes current.
  // A veneer still running (a second n_init without n_terminate) is retired first.
  void start(JNIEnv* env, jobject receiver) {
    if (JToCPPVeneer::getTheHandlerStuff() != nullptr || veneer_ != nullptr) retire(env);
    agent_.assign(env, receiver);
    auto subs = std::make_unique<SubscriptionHandlerCPP>();
    veneer_ = std::make_unique<JToCPPVeneer>(subs.release(), nullptr, agent_.get());
  }

  // Retires the current veneer once no connector thread is inside it; connector threads that come
  // later find no connector running. The veneer's teardown still traces through the agent object,
  // so the reference goes after it.
  void retire(JNIEnv* env) {
    vy::VeneerRetire retire;
    JToCPPVeneer* current = JToCPPVeneer::getTheHandlerStuff();
    if (current != nullptr && current != veneer_.get()) {
      // Made outside the bridge (the test kit makes its own): the current one goes all the same.
      jobject foreignAgent = static_cast<jobject>(current->getGblBusObjNativeInterface());
      delete current;
      if (foreignAgent != nullptr && foreignAgent != agent_.get())
        env->DeleteGlobalRef(foreignAgent);
    }
    veneer_.reset();
    agent_.reset(env);
  }

 private:
  VeneerOwner() = default;

  std::unique_ptr<JToCPPVeneer> veneer_;
  vy::GlobalRef agent_;
};

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1init(JNIEnv* env,
                                                                             jobject receiver,
                                                                             jstring version,
                                                                             jstring dllFileName) {
  vy::rememberVm(env);
  (void)dllFileName;  // only the version matters; the library is already loaded
  std::string versionText = vy::javaUtf(env, version);
  KyVersion* parsed = new KyVersion(version ? const_cast<char*>(versionText.c_str()) : nullptr);

  vy::loadAgentClasses(env);
  KyConversion::initStatic(env);
  vy::installJvmAgentPort();

  int result;
  if (parsed->compareTo(ConnectorFrameworkVersion::version) != 0) {
    VeneerOwner::instance().start(env, receiver);
    char* msg = CallJavaForMsgFormat(17017, KyMsgFormat::MLV_FATAL, nullptr, 1, 0, "");
    CallJavaForlogMsg(msg);
    std::free(msg);
    delete parsed;
    catchJavaErrors(env);
    // A version mismatch is refused before anything runs: no "called." trace.
    return -1;
  } else {
    VeneerOwner::instance().start(env, receiver);
    if (JToCPPVeneer::getTheAppGlob() == nullptr) vy::reportMissingGlobals();
    if (vy::guardConnectorCall("init", vy::FaultReport::kOperation,
                               [&] { result = JToCPPVeneer::getTheHandlerStuff()->init(parsed); }))
      result = -1;
  }
  traceCalled("BusObjNativeInterface_n_init called.");
  delete parsed;
  catchJavaErrors(env);
  return result;
}

JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1terminate(JNIEnv* env,
                                                                                  jobject) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v == nullptr) return -1;
  traceCalled("BusObjNativeInterface_n_terminate called.");
  int result;
  if (vy::guardConnectorCall("terminate", vy::FaultReport::kOperation,
                             [&] { result = v->terminate(); }))
    result = -1;
  // Connector threads may still raise events, trace or log through the veneer.
  VeneerOwner::instance().retire(env);
  catchJavaErrors(env);
  return result;
}

JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1poll(JNIEnv* env, jobject) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v == nullptr) return -1;
  int result;
  if (vy::guardConnectorCall("poll", vy::FaultReport::kOperation, [&] { result = v->poll(); }))
    result = -1;
  catchJavaErrors(env);
  return result;
}

JNIEXPORT jstring JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1getVersion(JNIEnv* env,
                                                                                      jobject) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  jstring result = nullptr;
  if (v != nullptr) {
    if (vy::guardConnectorCall("getVersion", vy::FaultReport::kOperation, [&] {
          const char* text = v->getVersion();
          result = vy::toJavaName(env, text ? text : "");
        }))
      result = nullptr;
  }
  catchJavaErrors(env);
  return result ? result : env->NewStringUTF("");
}

JNIEXPORT void JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1suspend(JNIEnv* env,
                                                                                jobject) {
  traceCalled("Java_AppSide_1Connector_BusObjNativeInterface_n_1suspend called.");
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v != nullptr)
    vy::guardConnectorCall("suspend", vy::FaultReport::kPrinted, [&] { v->suspend(); });
  catchJavaErrors(env);
}

JNIEXPORT void JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1resume(JNIEnv* env,
                                                                               jobject) {
  traceCalled("Java_AppSide_1Connector_BusObjNativeInterface_n_1resume called.");
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v != nullptr)
    vy::guardConnectorCall("resume", vy::FaultReport::kPrinted, [&] { v->resume(); });
  catchJavaErrors(env);
}

JNIEXPORT jstring JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1CDKVersion(JNIEnv* env,
                                                                                      jobject) {
  KyVersion v = ConnectorFrameworkVersion::getVersion();
  return env->NewStringUTF(v.toString());
}

JNIEXPORT jstring JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1CJNIVersion(JNIEnv* env,
                                                                                       jobject) {
  return env->NewStringUTF(kCJNIVersion);
}

JNIEXPORT void JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1setTraceLevel(JNIEnv* env,
                                                                                      jobject,
                                                                                      jint level) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v != nullptr) v->setTraceLevel(level);
  catchJavaErrors(env);
}

}  // extern "C"
