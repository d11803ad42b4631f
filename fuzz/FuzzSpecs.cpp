#include "FuzzSpecs.hpp"

#include "AgentRecords.hpp"

namespace vyfuzz {
namespace {

struct Attr {
  const char* name;
  const char* type;
  bool key;
  const char* card;
  const char* defaultValue;
};

const std::string kEmpty = "\x05";

std::u16string spec(const std::string& name, const std::vector<Attr>& attrs) {
  const std::vector<std::string> verbs = {"Create", "Retrieve", "Update", "Delete"};
  std::vector<std::string> f = {"BusObjSpec",
                                "4.2.0.0",
                                name,
                                "1.0.0",
                                "app text " + name,
                                std::to_string(attrs.size()),
                                std::to_string(verbs.size())};
  for (const Attr& a : attrs) {
    std::vector<std::string> group = {a.name,
                                      a.type,
                                      a.key ? "true" : "false",
                                      "false",
                                      "false",
                                      kEmpty,
                                      "40",
                                      a.defaultValue[0] ? a.defaultValue : kEmpty,
                                      "1.0.0",
                                      a.card,
                                      "Containment",
                                      "true",
                                      kEmpty};
    f.insert(f.end(), group.begin(), group.end());
  }
  for (const std::string& v : verbs) {
    f.push_back(v);
    f.push_back("verb text " + v);
  }
  return FuzzSpecs::wire(f);
}

}  // namespace

const std::vector<std::u16string>& FuzzSpecs::all() {
  static const std::vector<std::u16string> specs = {
      spec("Item", {{"Id", "String", true, "1", ""},
                    {"Qty", "Integer", false, "1", "1"},
                    {"Price", "Double", false, "1", ""},
                    {"Rate", "Float", false, "1", ""},
                    {"Flag", "Boolean", false, "1", "false"},
                    {"When", "Date", false, "1", ""},
                    {"Note", "LongText", false, "1", ""}}),
      spec("Node", {{"Id", "String", true, "1", ""},
                    {"Label", "String", false, "1", ""},
                    {"Kids", "Node", false, "n", ""},
                    {"Next", "Node", false, "1", ""}}),
      spec("Order", {{"Id", "String", true, "1", ""},
                     {"Lines", "Item", false, "n", ""},
                     {"Owner", "Node", false, "1", ""},
                     {"Comment", "String", false, "1", "none"},
                     {"ObjectEventId", "String", false, "1", ""}}),
  };
  return specs;
}

std::u16string FuzzSpecs::wire(const std::vector<std::string>& fields) {
  return vytest::wire(fields);
}

std::u16string FuzzSpecs::unitsOf(const unsigned char* data, size_t size) {
  std::u16string out(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2)
    out[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  return out;
}

}  // namespace vyfuzz
