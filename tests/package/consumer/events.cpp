// The event example of docs/connector-reference.md, built against the installed kit: a second
// connector library, since each library defines one globals object.
#include "VyConnector.hpp"

class MyGlobals : public GenGlobals {
 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return nullptr; }
  int init(KyVersion*) override { return VyResults::INIT_SUCCESS; }
  int pollForEvents() override;
  int terminate() override { return VyResults::TERMINATE_SUCCESS; }
  char* getVersion() override { return const_cast<char*>("1.0.0"); }
};

int MyGlobals::pollForEvents() {
  SubscriptionHandlerCPP* subs = getTheSubHandler();  // null outside init..terminate
  if (subs == nullptr) return VyResults::POLL_FAILURE;
  BusinessObject event("Order");  // the type's announced spec (newest version)
  if (event.getTheSpec() == nullptr) return VyResults::POLL_FAILURE;  // type never announced
  event.setVerb("Create");  // must be a verb the spec supports
  event.setAttrValue("Id", "42", BOAttrType::STRING);
  int answer = subs->gotApplEvent(event);
  if (answer == VyResults::EVENT_NOT_SUBSCRIBED) {
    // nobody subscribes to Order/Create: keep the event for later, or drop it
  }
  return VyResults::POLL_SUCCESS;
}  // the event object is the connector's: gone here

static MyGlobals theGlobals;
