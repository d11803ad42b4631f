// A connector library that forgot its GenGlobals object: a handler and nothing else.
#include "VyConnector.hpp"

class ForgottenHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject&, ReturnStatusDescriptor*) override { return 1; }
};

ForgottenHandler theHandler;
