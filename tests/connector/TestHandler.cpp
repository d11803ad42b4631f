// The verb behaviour of the test connector; see TestConnector.cpp for the script.
#include <cstdlib>
#include <string>

#include "VyConnector.hpp"

int vyTestHandlerDoVerbFor(BusinessObject&, ReturnStatusDescriptor* status) {
  char buf[512];
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  buf[0] = '\0';
  v->getConfigProp("Test.Verb.Error", buf, sizeof buf);
  if (buf[0] != '\0' && status != nullptr) status->seterrMsg(buf);
  buf[0] = '\0';
  v->getConfigProp("Test.Verb.Result", buf, sizeof buf);
  return buf[0] == '\0' ? 1 : std::atoi(buf);
}
