// The subscription entry points of the agent's native interface: n_SubscribeTo, n_isSubscribed,
// n_CancelSub, n_UpdateSubscription and n_getPerfMonitors.
//
// Names and verbs are taken in the native encoding, as the business objects that raise events
// carry them, and released before return; each entry point leaves no local reference behind.
// Before n_init (no veneer) they answer -1 or false.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AppSide_Connector_BusObjNativeInterface.h"
#include "BridgeState.hpp"
#include "ConnectorFault.hpp"
#include "JToCPPVeneer.hpp"
#include "KyPerfFlow.hpp"
#include "KyPerfUtil.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "Tracing.hpp"

namespace {

// A Java string's text in the native encoding (null for a null string), freed at scope exit.
// Text the encoding cannot hold is kept as the string's modified UTF-8 bytes, so a name still
// reaches the registry.
class NativeText {
 public:
  NativeText(JNIEnv* env, jstring s) {
    if (s == nullptr) return;
    bool failed = false;
    text_ = vy::fromJavaText(env, s, &failed);
    if (text_ == nullptr) text_ = strdup(vy::javaUtf(env, s).c_str());
  }
  ~NativeText() { std::free(text_); }
  NativeText(const NativeText&) = delete;
  NativeText& operator=(const NativeText&) = delete;

  char* get() const { return text_; }
  const char* orNull() const { return text_ != nullptr ? text_ : "null"; }

 private:
  char* text_ = nullptr;
};

bool tracing(JToCPPVeneer* veneer) {
  return veneer != nullptr && veneer->isTracing(Tracing::LEVEL5);
}

void trace(JToCPPVeneer* veneer, const std::string& line) {
  veneer->traceWrite(Tracing::LEVEL5, line.c_str(), nullptr);
}

std::string verbSentence(const NativeText& verb) {
  return std::string("\nVerb is: ") + verb.orNull() + ".";
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1SubscribeTo(
    JNIEnv* env, jobject, jstring boName, jstring verb, jint perf) {
  vy::rememberVm(env);
  jint result = -1;
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  NativeText name(env, boName);
  NativeText verbText(env, verb);
  // A null name is refused like any other unusable request: nothing is subscribed.
  if (veneer != nullptr && name.get() != nullptr) {
    if (tracing(veneer)) {
      trace(veneer,
            std::string(
                "BusObjNativeInterface_n_SubscribeTo got Subscription for BusObjSpec named: ") +
                name.get() + "." + verbSentence(verbText));
    }
    if (vy::guardConnectorCall("subscribeTo", vy::FaultReport::kOperation, [&] {
          result = veneer->subscribeTo(name.get(), verbText.get(), perf);
        }))
      result = -1;
  }
  catchJavaErrors(env);
  return result;
}

JNIEXPORT jboolean JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1isSubscribed(
    JNIEnv* env, jobject, jstring boName, jstring verb) {
  vy::rememberVm(env);
  int result = 0;
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  NativeText name(env, boName);
  NativeText verbText(env, verb);
  if (veneer != nullptr && name.get() != nullptr) {
    if (tracing(veneer)) {
      trace(veneer, std::string("BusObjNativeInterface_n_isSubscribed for BusObjSpec named: ") +
                        name.get() + "." + verbSentence(verbText));
    }
    if (vy::guardConnectorCall("isSubscribed", vy::FaultReport::kOperation,
                               [&] { result = veneer->isSubscribed(name.get(), verbText.get()); }))
      result = 0;
  }
  catchJavaErrors(env);
  return result == 1 ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1CancelSub(
    JNIEnv* env, jobject, jstring boName, jstring version, jstring verb) {
  vy::rememberVm(env);
  jint result = -1;
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  NativeText name(env, boName);
  NativeText versionText(env, version);
  NativeText verbText(env, verb);
  // The version plays no part; a null verb cancels every verb of the name.
  if (veneer != nullptr && veneer->getTheSubHandler() != nullptr && name.get() != nullptr) {
    if (tracing(veneer)) {
      trace(veneer,
            std::string("BusObjNativeInterface_n_CancelSub got CancelSubscription for BusObjSpec "
                        "named: ") +
                name.get() + ", verb: " + verbText.orNull() + ".");
    }
    if (vy::guardConnectorCall("cancelSub", vy::FaultReport::kOperation, [&] {
          result =
              veneer->getTheSubHandler()->cancelSub(name.get(), versionText.get(), verbText.get());
        }))
      result = -1;
  }
  catchJavaErrors(env);
  return result;
}

JNIEXPORT jint JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1UpdateSubscription(
    JNIEnv* env, jobject, jstring boName, jstring verb, jint /*unused*/, jint perf) {
  vy::rememberVm(env);
  jint result = -1;
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  NativeText name(env, boName);
  NativeText verbText(env, verb);
  // An existing subscription keeps its perf: this only adds what is missing.
  if (veneer != nullptr && name.get() != nullptr) {
    if (vy::guardConnectorCall("subscribeTo", vy::FaultReport::kOperation, [&] {
          result = veneer->subscribeTo(name.get(), verbText.get(), perf);
        }))
      result = -1;
  }
  catchJavaErrors(env);
  return result;
}

JNIEXPORT jstring JNICALL
Java_AppSide_1Connector_BusObjNativeInterface_n_1getPerfMonitors(JNIEnv* env, jobject) {
  vy::rememberVm(env);
  const char hash = '#';
  std::string text(1, hash);
  text += KyPerfFlow::DEFAULT_SEPARATOR;

  int count = 0;
  KyPerfFlow** flows = KyPerfUtil::getAllFlows(&count);
  char buffer[512];
  for (int i = 0; i < count; ++i) {
    int size = flows[i]->toString(buffer, sizeof buffer);
    if (size < 0) continue;
    // toString keeps at most size - 2 characters of the buffer's size; a longer text is built
    // again at the length it needs.
    if (size + 2 > static_cast<int>(sizeof buffer)) {
      std::vector<char> big(static_cast<size_t>(size) + 2);
      flows[i]->toString(big.data(), static_cast<int>(big.size()));
      text.append(big.data(), static_cast<size_t>(size));
    } else {
      text.append(buffer, static_cast<size_t>(size));
    }
    text += hash;
  }
  delete[] flows;

  jstring result = vy::toJavaText(env, text.c_str());
  catchJavaErrors(env);
  return result;
}

}  // extern "C"
