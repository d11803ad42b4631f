#include "FuzzSpecs.hpp"

#include "AgentRecords.hpp"
#include "SpecFields.hpp"

namespace vyfuzz {
namespace {

// A spec with an application text and a text for each of its verbs.
std::u16string spec(const std::string& name, const std::vector<vytest::AttrDef>& attrs) {
  return FuzzSpecs::wire(vytest::specFields(name, attrs, {"Create", "Retrieve", "Update", "Delete"},
                                            "app text " + name, "verb text "));
}

}  // namespace

const std::vector<std::u16string>& FuzzSpecs::all() {
  static const std::vector<std::u16string> specs = {
      spec("Item", {{"Id", "String", true},
                    {"Qty", "Integer", false, false, "1", "1"},
                    {"Price", "Double"},
                    {"Rate", "Float"},
                    {"Flag", "Boolean", false, false, "false", "1"},
                    {"When", "Date"},
                    {"Note", "LongText"}}),
      spec("Node", {{"Id", "String", true},
                    {"Label", "String"},
                    {"Kids", "Node", false, false, "", "n"},
                    {"Next", "Node"}}),
      spec("Order", {{"Id", "String", true},
                     {"Lines", "Item", false, false, "", "n"},
                     {"Owner", "Node"},
                     {"Comment", "String", false, false, "none", "1"},
                     {"ObjectEventId", "String"}}),
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
