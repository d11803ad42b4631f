// The connector linked into every fuzz binary: one globals object and one handler that accepts
// every verb (status 1), so each request that reads cleanly is also written back to the agent.
#include "VyConnector.hpp"

namespace {

class FuzzHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject&, ReturnStatusDescriptor*) override { return 1; }
};

FuzzHandler gHandler;

class FuzzGlobals : public GenGlobals {
 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return &gHandler; }
  int init(KyVersion*) override { return 0; }
  int pollForEvents() override { return 0; }
  int terminate() override { return 0; }
  char* getVersion() override { return const_cast<char*>("1.0.0"); }
};

FuzzGlobals gGlobals;

}  // namespace
