// Why a request read from the agent cannot reach a handler: the text every path that runs
// requests (the verb entry point, the test kit) answers with.
#ifndef VY_REQUEST_REFUSAL_HPP
#define VY_REQUEST_REFUSAL_HPP

#include <string>

#include "VyExport.hpp"

class BusinessObject;

namespace vy {

// "" when the object has a spec with a handler; otherwise "The request cannot be processed: "
// and the reason (the read error, or the type without a handler).
VY_EXPORT std::string requestRefusal(BusinessObject& bo);

}  // namespace vy

#endif  // VY_REQUEST_REFUSAL_HPP
