// What the SQL connectors of the kit say and read alike: the text that names a failed request,
// and the agent properties they read at init.
// Threads: any; the property readers only between init and terminate (the agent's calls).
#ifndef VY_SQL_COMMON_CONNECTOR_TEXT_HPP
#define VY_SQL_COMMON_CONNECTOR_TEXT_HPP

#include <string>
#include <string_view>

#include "VyModern.hpp"

namespace connectortext {

// "<type> [<key>=<value>, ...]: <verb> failed: <cause>", with long key values shortened.
std::string describe(BusinessObject& bo, std::string_view verb, std::string_view cause);

// A property's text ("" when absent).
std::string property(GenGlobals& globals, const char* name);
// A whole-number property, or `fallback` when absent or not a whole number (then a warning that
// starts with `who` is logged).
long long numberProperty(GenGlobals& globals, const char* who, const char* name,
                         long long fallback);
// A switch: false only for "false" (any case), true when absent or anything else.
bool switchProperty(GenGlobals& globals, const char* name);

}  // namespace connectortext

#endif  // VY_SQL_COMMON_CONNECTOR_TEXT_HPP
