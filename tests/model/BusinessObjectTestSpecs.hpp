// The business object types the business object, container and delta tests use, announced the
// way the agent announces them (to the embedded JVM's agent or to the native one), and small
// helpers to build trees.
#ifndef VY_BUSINESS_OBJECT_TEST_SPECS_HPP
#define VY_BUSINESS_OBJECT_TEST_SPECS_HPP

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AgentRecords.hpp"
#include "SpecFields.hpp"
#include "VyConnector.hpp"

namespace bospecs {

using vytest::AttrDef;

inline std::u16string specText(const std::string& name, const std::vector<AttrDef>& attrs,
                               const std::vector<std::string>& verbs = {"Create", "Update",
                                                                        "Delete", "Retrieve"}) {
  return vytest::wire(vytest::specFields(name, attrs, verbs));
}

// Every type of these tests. Attribute indexes are noted where tests use them.
template <class AgentT>
void announce(AgentT& agent) {
  // Customer: 0 Id (key), 1 Name, 2 Phones (Phone, n), 3 Owner (Person, 1).
  agent.gotBusObjSpec16(specText("Customer", {{"Id", "String", true},
                                              {"Name", "String"},
                                              {"Phones", "Phone", false, false, "", "n"},
                                              {"Owner", "Person"}}));
  // Phone: 0 Number (key).
  agent.gotBusObjSpec16(specText("Phone", {{"Number", "String", true}}));
  // Person: 0 Pid (key), 1 PName (default "nobody"), 2 ObjectEventId.
  agent.gotBusObjSpec16(specText("Person", {{"Pid", "String", true},
                                            {"PName", "String", false, false, "nobody"},
                                            {"ObjectEventId", "String"}}));
  // Order: 0 Id (key), 1 Note, 2 Lines (Line, n), 3 Extra (Line, 1), 4 ObjectEventId.
  agent.gotBusObjSpec16(specText("Order", {{"Id", "String", true},
                                           {"Note", "String"},
                                           {"Lines", "Line", false, false, "", "n"},
                                           {"Extra", "Line"},
                                           {"ObjectEventId", "String"}}));
  // Line: 0 No (key), 1 Qty (default "1"), 2 ObjectEventId.
  agent.gotBusObjSpec16(specText("Line", {{"No", "String", true},
                                          {"Qty", "Integer", false, false, "1"},
                                          {"ObjectEventId", "String"}}));
  // Node: 0 Id (key), 1 Kids (Node, n), 2 Next (Node, 1), 3 ObjectEventId.
  agent.gotBusObjSpec16(specText("Node", {{"Id", "String", true},
                                          {"Kids", "Node", false, false, "", "n"},
                                          {"Next", "Node"},
                                          {"ObjectEventId", "String"}}));
  // Checked: 0 Id (key), 1 WithDefault (required, "dflt"), 2 NoDefault (required), 3 Opt,
  // 4 ObjectEventId (required, never checked: the last attribute).
  agent.gotBusObjSpec16(specText("Checked", {{"Id", "String", true},
                                             {"WithDefault", "String", false, true, "dflt"},
                                             {"NoDefault", "String", false, true},
                                             {"Opt", "String"},
                                             {"ObjectEventId", "String", false, true}}));
  // Plain: 0 A; supports only Retrieve.
  agent.gotBusObjSpec16(specText("Plain", {{"A", "String"}}, {"Retrieve"}));
}

// Fixture: a started agent (vytest::Agent or vytest::NativeAgent) that knows every type above;
// records cleared.
template <class AgentT>
class ModelTestOn : public ::testing::Test {
 protected:
  void SetUp() override {
    agent.init();
    announce(agent);
    agent.clearRecords();
  }

  AgentT agent;
};

inline const int kString = 5;
inline const int kInteger = 2;
inline const int kObject = 0;

// A new object of `type` with the given verb and string values (by index; "" skips).
inline BusinessObject* make(const char* type, const char* verb,
                            const std::vector<const char*>& simple = {}) {
  BusinessObject* bo = new BusinessObject(type, "en_US");
  if (verb) bo->setVerb(verb);
  for (size_t i = 0; i < simple.size(); ++i) {
    if (simple[i] != nullptr)
      bo->setAttrValue(static_cast<int>(i), simple[i], bo->getAttrType(static_cast<int>(i)));
  }
  return bo;
}

inline std::string text(void* value) {
  if (value == nullptr) return "<ignore>";
  if (value == BusinessObject::BlankValue) return "<blank>";
  return static_cast<const char*>(value);
}

// The tokens of a message, from the first.
inline std::vector<std::string> tokens(StringMessage& msg) {
  msg.initTokenizer();
  std::vector<std::string> out;
  while (const char* t = msg.nextToken()) out.emplace_back(t);
  msg.initTokenizer();
  return out;
}

inline std::u16string units(const StringMessage& msg) {
  return std::u16string(reinterpret_cast<const char16_t*>(msg.toUTF16String()),
                        msg.getCurrentUTF16Size());
}

// Keys and verbs of a container's children, e.g. "A:Create B:Update".
inline std::string children(BusObjContainer* c) {
  std::string out;
  if (c == nullptr) return "<none>";
  for (int i = 0; i < c->getObjectCount(); ++i) {
    BusinessObject* o = c->getObject(i);
    if (!out.empty()) out += " ";
    if (o == nullptr) {
      out += "<null>";
      continue;
    }
    out += text(o->getAttrValue(0)) + ":" + (o->getVerb() ? o->getVerb() : "<none>");
  }
  return out;
}

}  // namespace bospecs

#endif  // VY_BUSINESS_OBJECT_TEST_SPECS_HPP
