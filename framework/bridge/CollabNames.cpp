// The collaboration names the agent knows, as a message of fields.
#include <cstdlib>

#include "BridgeState.hpp"
#include "BusObjNativeImpl.hpp"
#include "StringMessage.hpp"
#include "VeneerLife.hpp"

extern "C" StringMessage* CallJavaForGetCollabNames() {
  JNIEnv* env = vy::currentEnv();
  VY_ENV_ASSERT(env != NULL, "BusObjNativeImpl");
  jmethodID mid = vy::agentIds().getCollabNames;
  VY_ENV_CHECK(vy::agentIds().busObjNativeInterface != nullptr, "jclsBusObjNativeInterface != NULL",
               "BusObjNativeImpl");
  VY_ENV_ASSERT(mid != NULL, "BusObjNativeImpl");
  vy::LocalRef names(env, nullptr);
  {
    // No connector running: no names.
    vy::VeneerUse use;
    jobject agent = vy::runningAgent();
    if (agent != nullptr) names.reset(env->CallObjectMethod(agent, mid));
  }
  if (env->ExceptionCheck()) {
    catchJavaErrors(env);
    names.reset(nullptr);
  }
  // The agent's text is taken as UTF-16 units, exactly as it sent them.
  unsigned short* units = vy::javaUnits(env, names.as<jstring>(), nullptr);
  StringMessage* msg = new StringMessage(units);
  std::free(units);
  return msg;
}
