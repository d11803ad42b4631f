// Texts of the small test types the bridge tests file and request: every attribute a String of
// cardinality 1 (length 40, none a key, no default), verbs without verb text.
#ifndef VY_TEST_TYPE_TEXTS_HPP
#define VY_TEST_TYPE_TEXTS_HPP

#include <memory>
#include <string>
#include <vector>

#include "BOAttrType.hpp"
#include "BusinessObject.hpp"
#include "SpecFields.hpp"
#include "StringMessage.hpp"

namespace vytest {

// The spec fields of type `type` with the String attributes `attrs` and the verbs `verbs`.
inline std::vector<std::string> stringSpecFields(const std::string& type,
                                                 const std::vector<std::string>& attrs,
                                                 const std::vector<std::string>& verbs) {
  std::vector<AttrDef> defs;
  for (const std::string& name : attrs) defs.emplace_back(name, "String");
  return specFields(type, defs, verbs);
}

// Fields as a message text in the agent's encoding (what n_gotBusObjSpec is handed for a spec).
inline std::string messageText(const std::vector<std::string>& fields) {
  StringMessage msg;
  for (const std::string& f : fields) msg.appendField(f.c_str());
  return msg.toString();
}

// The spec of stringSpecFields as a message text.
inline std::string stringSpecText(const std::string& type, const std::vector<std::string>& attrs,
                                  const std::vector<std::string>& verbs) {
  return messageText(stringSpecFields(type, attrs, verbs));
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
