// The spec parser on wire texts (UTF-16LE input). A text either parses into a spec or leaves an
// empty spec with a reason; counts are never trusted before the groups are there.
//
// Checked for every spec that parses: its own message parses again without error into a spec
// whose message has the same fields (verb groups compared as a set, since they are written in
// the verb set's order); lookups by every attribute name find that attribute or an earlier one of
// the same name.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"
#include "FuzzCheck.hpp"
#include "FuzzMessages.hpp"
#include "StringMessage.hpp"

namespace {

// The fields of a spec message: the head and attribute groups in order, the verb groups sorted.
struct SpecFields {
  std::vector<std::string> ordered;
  std::vector<std::pair<std::string, std::string>> verbs;
  bool operator==(const SpecFields& o) const { return ordered == o.ordered && verbs == o.verbs; }
};

SpecFields fieldsOf(StringMessage& msg, int attrCount) {
  msg.initTokenizer();
  SpecFields out;
  size_t head = 7 + 13 * static_cast<size_t>(attrCount);
  while (msg.hasMoreTokens() && out.ordered.size() < head)
    out.ordered.emplace_back(msg.nextToken());
  while (msg.hasMoreTokens()) {
    std::string verb = msg.nextToken();
    const char* text = msg.nextToken();
    VY_FUZZ_CHECK(text != nullptr, "a verb group cut in half");
    out.verbs.emplace_back(verb, text);
  }
  std::sort(out.verbs.begin(), out.verbs.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vyfuzz::WireInput input(data, size);
  BusObjSpec spec(input.message());
  if (spec.getParseError() != nullptr) {
    VY_FUZZ_CHECK(spec.getAttributeCount() == 0, "a refused spec kept attributes");
    return 0;
  }
  for (int i = 0; i < spec.getAttributeCount(); ++i) {
    BOAttrType* attr = spec.getAttribute(i);
    VY_FUZZ_CHECK(attr != nullptr, "an attribute inside the count is missing");
    int found = spec.getAttributeIndex(attr->getName());
    VY_FUZZ_CHECK(found >= 0 && found <= i, "an attribute cannot be found by its name");
  }
  VY_FUZZ_CHECK(spec.getAttribute(spec.getAttributeCount()) == nullptr, "an entry past the count");

  StringMessage* first = spec.toStringMessage();
  StringMessage copy(first->toUTF16String());
  BusObjSpec again(copy);
  VY_FUZZ_CHECK(again.getParseError() == nullptr, "a spec's own message does not parse");
  VY_FUZZ_CHECK(again.getAttributeCount() == spec.getAttributeCount(), "attribute count changed");
  VY_FUZZ_CHECK(std::strcmp(again.getName(), spec.getName()) == 0, "name changed");
  StringMessage* second = again.toStringMessage();
  VY_FUZZ_CHECK(
      fieldsOf(*first, spec.getAttributeCount()) == fieldsOf(*second, again.getAttributeCount()),
      "written, parsed and written again differs");
  delete second;
  delete first;
  return 0;
}
