// The agent announces a business object spec: n_gotBusObjSpec hands the text, in native
// encoding, to the veneer, which parses and files it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AppSide_Connector_BusObjNativeInterface.h"
#include "BridgeState.hpp"
#include "BusObjNativeImpl.hpp"
#include "ConnectorFault.hpp"
#include "JToCPPVeneer.hpp"
#include "KyConversion.hpp"
#include "KyMsgFormat.hpp"
#include "Tracing.hpp"

namespace {

constexpr int kEncodingErrorMsg = 80014;
const char kTraceHeader[] = "BusObjNativeInterface_n_gotBusObjSpec got BusObjSpec string:";

void reportEncodingFailure(const char* encoding) {
  char* text = CallJavaForMsgFormat(kEncodingErrorMsg, KyMsgFormat::MLV_FATAL, nullptr, 1, 1,
                                    encoding != nullptr ? encoding : "null");
  if (text != nullptr) {
    CallJavaForlogMsg(text);
    std::free(text);
  }
}

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_AppSide_1Connector_BusObjNativeInterface_n_1gotBusObjSpec(
    JNIEnv* env, jobject receiver, jstring specText) {
  (void)receiver;
  vy::rememberVm(env);
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  if (specText == nullptr || veneer == nullptr) {
    // Nothing to parse, or no connector running to serve it.
    std::fputs("n_gotBusObjSpec: no spec text or no running connector; spec ignored\n", stderr);
    catchJavaErrors(env);
    return;
  }
  const char* utf = env->GetStringUTFChars(specText, nullptr);
  if (utf == nullptr) {
    catchJavaErrors(env);
    return;
  }
  const char* encoding = CallJavaForGetEncoding();
  KyConversion* conversion = new KyConversion(encoding);
  char* native = conversion->fromUTF8ToNative(env, utf);
  if (native == nullptr && *utf != '\0') reportEncodingFailure(encoding);
  const char* text = native != nullptr ? native : utf;

  if (veneer->isTracing(Tracing::LEVEL5)) {
    // Built at whatever length the text needs.
    std::string line;
    line.reserve(sizeof kTraceHeader + std::strlen(text) + 3);
    line += kTraceHeader;
    line += '\n';
    line += text;
    line += '\n';
    veneer->traceWrite(Tracing::LEVEL5, line.c_str(), nullptr);
  }

  // Whatever the connector's getBOHandlerforBO throws stays on this side of the JVM: message
  // 80401 with "gotBusObjSpec", logged with what was thrown.
  vy::guardConnectorCall("gotBusObjSpec", vy::FaultReport::kOperation,
                         [&] { veneer->newBusObjSpec(const_cast<char*>(text)); });

  std::free(native);
  env->ReleaseStringUTFChars(specText, utf);
  catchJavaErrors(env);
  delete conversion;
}
