// The subscription and event members of JToCPPVeneer and GenGlobals: the veneer forwards to its
// subscription handler and to the agent callbacks; GenGlobals forwards to the current veneer.
#include "BusObjNativeImpl.hpp"
#include "GenGlobals.hpp"
#include "JToCPPVeneer.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "SubscriptionHandlerCPP.hpp"

// ---- JToCPPVeneer ----

int JToCPPVeneer::isSubscribed(char* boName, char* verb) {
  return theSubHandler == nullptr ? 0 : theSubHandler->isSubscribed(boName, verb);
}

int JToCPPVeneer::subscribeTo(char* boName, char* verb, int perf) {
  return theSubHandler == nullptr ? -1 : theSubHandler->subscribeTo(boName, verb, perf);
}

int JToCPPVeneer::cancelSub(char* boName, char* version, char* verb) {
  return theSubHandler == nullptr ? -1 : theSubHandler->cancelSub(boName, version, verb);
}

int JToCPPVeneer::gotEvent(BusinessObject& bo) { return CallJavaForAppEvent(&bo); }

int JToCPPVeneer::consumeSync(char* collabName, BusinessObject& bo,
                              ReturnStatusDescriptor& status) {
  CallJavaForConsumeSync(collabName, bo, status);
  // The agent's verdict is the status it put in its bucket.
  return status.getStatus();
}

// ---- GenGlobals ----

int GenGlobals::consumeSync(char* collabName, BusinessObject& bo, ReturnStatusDescriptor& status) {
  if (collabName == nullptr) return -1;
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  if (veneer == nullptr) return -1;
  return veneer->consumeSync(collabName, bo, status);
}

int GenGlobals::executeCollaboration(char* collabName, BusinessObject& bo,
                                     ReturnStatusDescriptor& status) {
  return consumeSync(collabName, bo, status);
}
