// The verb behaviour of the test connector; see TestConnector.cpp for the script.
#include <cstdlib>
#include <string>

#include "VyConnector.hpp"

namespace {

std::string prop(const std::string& name) {
  char buf[512];
  buf[0] = '\0';
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v == nullptr) return std::string();
  v->getConfigProp(name.c_str(), buf, sizeof buf);
  return buf;
}

// The text of a simple attribute, or a mark for what is not a text.
std::string valueText(BusinessObject& bo, int index) {
  if (bo.getAttrType(index) == 0) return "<object>";
  void* v = bo.getAttrValue(index);
  return v == nullptr ? "<ignore>" : static_cast<const char*>(v);
}

bool simpleIndex(BusinessObject& bo, int index) {
  return index >= 0 && index < bo.getAttrCount() && bo.getAttrType(index) > 0;
}

// "index=value[;index=value...]": stores each value into its simple attribute.
void applySets(BusinessObject& bo, const std::string& script) {
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find(';', start);
    if (end == std::string::npos) end = script.size();
    std::string item = script.substr(start, end - start);
    size_t eq = item.find('=');
    if (eq != std::string::npos) {
      int index = std::atoi(item.substr(0, eq).c_str());
      if (simpleIndex(bo, index))
        bo.setAttrValue(index, item.substr(eq + 1).c_str(), bo.getAttrType(index));
    }
    start = end + 1;
  }
}

// An attribute index named by a property, or -1.
int indexProp(BusinessObject& bo, const std::string& name) {
  std::string text = prop(name);
  if (text.empty()) return -1;
  int index = std::atoi(text.c_str());
  return simpleIndex(bo, index) ? index : -1;
}

}  // namespace

int vyTestHandlerDoVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  const std::string verb = bo.getVerb() ? bo.getVerb() : "null";

  if (prop("Test.Verb.Record") == "true" && v != nullptr) {
    std::string line = "Test.Verb.Seen " + verb + " delta=" + std::to_string(bo.isDelta());
    for (int i = 0; i < bo.getAttrCount(); ++i) line += (i ? "|" : " ") + valueText(bo, i);
    v->logMsg(line.c_str());
  }

  // A text of that many characters in attribute 1: an object larger than a small Java heap.
  std::string grow = prop("Test.Verb.Grow");
  if (!grow.empty() && simpleIndex(bo, 1))
    bo.setAttrValue(1, std::string(std::strtoul(grow.c_str(), nullptr, 10), 'g').c_str(),
                    bo.getAttrType(1));

  applySets(bo, prop("Test.Verb.SetAttr"));
  applySets(bo, prop("Test.Verb.SetAttrFor." + verb));
  std::string copy = prop("Test.Verb.CopyAttr");
  size_t eq = copy.find('=');
  if (eq != std::string::npos) {
    int from = std::atoi(copy.substr(0, eq).c_str());
    int to = std::atoi(copy.substr(eq + 1).c_str());
    if (simpleIndex(bo, from) && simpleIndex(bo, to) && bo.getAttrValue(from) != nullptr)
      bo.setAttrValue(to, valueText(bo, from).c_str(), bo.getAttrType(to));
  }

  if (status != nullptr) {
    std::string error = prop("Test.Verb.Error");
    int errorFrom = indexProp(bo, "Test.Verb.ErrorFromAttr");
    if (errorFrom >= 0) error = valueText(bo, errorFrom);
    if (!error.empty()) status->seterrMsg(error.c_str());
  }

  std::string result = prop("Test.Verb.ResultFor." + verb);
  if (result.empty()) {
    int resultFrom = indexProp(bo, "Test.Verb.ResultFromAttr");
    if (resultFrom >= 0) result = valueText(bo, resultFrom);
  }
  if (result.empty()) result = prop("Test.Verb.Result");
  return result.empty() ? 1 : std::atoi(result.c_str());
}
