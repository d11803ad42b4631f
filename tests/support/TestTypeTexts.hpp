// Texts of the small test types the bridge tests file and request: every attribute a String of
// cardinality 1 (length 40, none a key, no default), verbs without verb text.
#ifndef VY_TEST_TYPE_TEXTS_HPP
#define VY_TEST_TYPE_TEXTS_HPP

#include <memory>
#include <string>
#include <vector>

#include "BOAttrType.hpp"
#include "BusinessObject.hpp"
#include "StringMessage.hpp"

namespace vytest {

// The spec fields of type `type` with the String attributes `attrs` and the verbs `verbs`.
inline std::vector<std::string> stringSpecFields(const std::string& type,
                                                 const std::vector<std::string>& attrs,
                                                 const std::vector<std::string>& verbs) {
  std::vector<std::string> f = {"BusObjSpec",
                                "4.2.0.0",
                                type,
                                "1.0.0",
                                "\x05",
                                std::to_string(attrs.size()),
                                std::to_string(verbs.size())};
  for (const std::string& name : attrs) {
    std::vector<std::string> g = {name,   "String", "false", "false",       "false", "\x05", "40",
                                  "\x05", "1.0.0",  "1",     "Containment", "true",  "\x05"};
    f.insert(f.end(), g.begin(), g.end());
  }
  for (const std::string& verb : verbs) f.insert(f.end(), {verb, "\x05"});
  return f;
}

// The same spec as a message text in the agent's encoding (what n_gotBusObjSpec is handed).
inline std::string stringSpecText(const std::string& type, const std::vector<std::string>& attrs,
                                  const std::vector<std::string>& verbs) {
  StringMessage msg;
  for (const std::string& f : stringSpecFields(type, attrs, verbs)) msg.appendField(f.c_str());
  return msg.toString();
}

// A Create of `type` (its spec filed) whose first attribute is `id`, as a message text.
inline std::string createRequest(const char* type, const char* id) {
  BusinessObject bo(type);
  bo.setVerb("Create");
  bo.setAttrValue(0, id, BOAttrType::STRING);
  std::unique_ptr<StringMessage> msg(bo.toStringMessage());
  return msg->toString();
}

}  // namespace vytest

#endif  // VY_TEST_TYPE_TEXTS_HPP
