#include "RequestRefusal.hpp"

#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"

namespace vy {

std::string requestRefusal(BusinessObject& bo) {
  BusObjSpec* spec = bo.getSpecFor();
  if (spec == nullptr) {
    const char* why = bo.getReadError();
    return std::string("The request cannot be processed: ") +
           (why && *why ? why : "the business object text is malformed or its type is unknown");
  }
  if (spec->getMyBOHandler() == nullptr) {
    return std::string(
               "The request cannot be processed: no business object handler is registered "
               "for the type ") +
           spec->getName();
  }
  return std::string();
}

}  // namespace vy
