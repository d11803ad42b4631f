// The veneer's part in announcing a business object spec: parse the text, give the spec the
// connector's handler and file it in the directory.
#include <memory>
#include <string>

#include "BOHandlerCPP.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "GenGlobals.hpp"
#include "JToCPPVeneer.hpp"
#include "KyMsgFormat.hpp"
#include "StringMessage.hpp"

void JToCPPVeneer::newBusObjSpec(char* specText) {
  std::unique_ptr<BusObjSpec> spec;
  {
    StringMessage msg(specText);
    spec.reset(new BusObjSpec(msg));
  }
  if (spec->getParseError() != nullptr) {
    // A malformed text is never filed: business objects keep the spec they had, if any.
    std::string line = "Business object spec not filed: ";
    line += spec->getParseError();
    const char* name = spec->getName();
    if (name != nullptr && *name != '\0') {
      line += " (spec ";
      line += name;
      line += ")";
    }
    line += ".";
    logMsg(line.c_str(), KyMsgFormat::MLV_ERROR);
    return;
  }
  GenGlobals* app = getTheAppGlob();
  // A type the connector has no handler for is filed all the same; a verb on it is refused
  // when it arrives.
  BOHandlerCPP* handler = app != nullptr ? app->getBOHandlerforBO(spec->getName()) : nullptr;
  if (handler != nullptr) handler->setTheSubHandler(theSubHandler);
  spec->setMyBOHandler(handler);
  BusObjSpecDirectory* dir =
      theDirectory != nullptr ? theDirectory : BusObjSpecDirectory::getTheBusObjSpecDirectory();
  dir->insert(*spec.release());
}
