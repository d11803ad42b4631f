// The connector of the README's "Writing a connector", built against the installed kit: the
// example a newcomer copies must compile as it stands.
#include <cstring>

#include "VyConnector.hpp"

class OrderHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override {
    if (std::strcmp(bo.getVerb(), "Retrieve") == 0) {
      bo.setAttrValue("Status", "shipped", BOAttrType::STRING);
      return 1;  // 1 (or -5): the changed object goes back to the agent
    }
    status->seterrMsg("verb not supported");
    return -1;  // failures keep the agent's request as it was
  }
};

class MyGlobals : public GenGlobals {
  OrderHandler handler;

 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return &handler; }
  int init(KyVersion*) override { return 0; }
  int pollForEvents() override { return 0; }
  int terminate() override { return 0; }
  char* getVersion() override { return const_cast<char*>("1.0.0"); }
};

static MyGlobals theGlobals;
