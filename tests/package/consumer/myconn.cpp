// The connector of the README's "Writing a connector", built against the installed kit: the
// example a newcomer copies must compile as it stands.
#include <cstring>

#include "VyConnector.hpp"

class OrderHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override {
    if (std::strcmp(bo.getVerb(), "Retrieve") == 0) {
      bo.setAttrValue("Status", "shipped", BOAttrType::STRING);
      return VyResults::VERB_SUCCESS;  // 1 (or -5): the changed object goes back
    }
    status->seterrMsg("verb not supported");
    return VyResults::VERB_FAILURE;  // -1: the agent keeps its request
  }
};

class MyGlobals : public GenGlobals {
  OrderHandler handler;

 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return &handler; }
  int init(KyVersion*) override { return VyResults::INIT_SUCCESS; }
  int pollForEvents() override { return 0; }
  int terminate() override { return 0; }
  char* getVersion() override { return const_cast<char*>("1.0.0"); }
};

static MyGlobals theGlobals;
