// The types and message builders of the transaction business object tests, for either agent.
#ifndef VY_TRANSACTION_TEST_SPECS_HPP
#define VY_TRANSACTION_TEST_SPECS_HPP

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AgentRecords.hpp"
#include "VyConnector.hpp"

namespace tbospecs {

inline const char* const kMarker = "\x05";  // the empty text of the spec format

inline std::vector<std::string> attrGroup(const std::string& name, const std::string& type,
                                          bool key, const std::string& cardinality = "1") {
  return {name,
          type,
          key ? "true" : "false",
          "false",
          "false",
          kMarker,
          "255",
          kMarker,
          "1.0.0",
          cardinality,
          type == "String" ? kMarker : "Containment",
          "false",
          kMarker};
}

inline std::u16string specText(const std::string& name,
                               const std::vector<std::vector<std::string>>& attrs) {
  std::vector<std::string> f = {
      "BusObjSpec", "4.2.0.0", name, "1.0.0", kMarker, std::to_string(attrs.size()), "3"};
  for (const auto& a : attrs) f.insert(f.end(), a.begin(), a.end());
  for (const char* v : {"Create", "Retrieve", "Update"}) {
    f.push_back(v);
    f.push_back(kMarker);
  }
  return vytest::wire(f);
}

using Fields = std::vector<std::string>;

inline Fields cat(std::initializer_list<Fields> parts) {
  Fields out;
  for (const Fields& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// TboLine: LineId (key), Text. TboOrder: Id (key), Name, Lines (TboLine, n), Main (TboLine, 1),
// Note.
inline Fields line(const std::string& id, const std::string& text,
                   const std::string& verb = "Create") {
  return {"BusinessObject", "4.2.0.0", "TboLine", "1.0.0", "false", verb, "en_US", "2", id, text};
}

inline Fields order(const std::string& verb, const Fields& values) {
  return cat(
      {{"BusinessObject", "4.2.0.0", "TboOrder", "1.0.0", "false", verb, "en_US", "5"}, values});
}

inline Fields section(bool withFormatVersion, const std::string& verb, const Fields& refs,
                      const std::string& count = "5") {
  Fields f = {"TransactionBusinessObject"};
  if (withFormatVersion) f.push_back("4.2.0.0");
  return cat({f, {"TboOrder", "1.0.0", verb, count}, refs});
}

inline const Fields kBase = {"1", "Name", "0", "0", "KyIgnore"};

// Fixture: a started agent (vytest::Agent or vytest::NativeAgent) that knows both types.
template <class AgentT>
class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agent.init();
    agent.gotBusObjSpec16(specText(
        "TboLine", {attrGroup("LineId", "String", true), attrGroup("Text", "String", false)}));
    agent.gotBusObjSpec16(specText(
        "TboOrder", {attrGroup("Id", "String", true), attrGroup("Name", "String", false),
                     attrGroup("Lines", "TboLine", false, "n"), attrGroup("Main", "TboLine", false),
                     attrGroup("Note", "String", false)}));
  }

  static std::u16string wire(const Fields& f) { return vytest::wire(f); }

  static std::unique_ptr<TransactionBusinessObject> read(const Fields& f,
                                                         std::string* rest = nullptr) {
    std::u16string w = vytest::wire(f);
    StringMessage m(reinterpret_cast<const unsigned short*>(w.c_str()));
    std::unique_ptr<TransactionBusinessObject> tbo(new TransactionBusinessObject(m));
    if (rest != nullptr) {
      const char* t = m.nextToken();
      *rest = t ? t : "<end>";
    }
    return tbo;
  }

  static std::vector<std::string> tokens(StringMessage& m) {
    std::vector<std::string> out;
    m.initTokenizer();
    while (const char* t = m.nextToken()) out.push_back(t);
    return out;
  }

  AgentT agent;
};

}  // namespace tbospecs

#endif  // VY_TRANSACTION_TEST_SPECS_HPP
