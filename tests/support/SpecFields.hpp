// The fields of a spec text for the types tests and fuzz targets make up: the head, a group per
// attribute, then each verb with its verb text. Every attribute is 40 long, of version 1.0.0 and
// held by containment; an empty text travels as the marker U+0005.
#ifndef VY_SPEC_FIELDS_HPP
#define VY_SPEC_FIELDS_HPP

#include <string>
#include <utility>
#include <vector>

namespace vytest {

struct AttrDef {
  AttrDef(std::string n, std::string t, bool k = false, bool r = false, std::string d = "",
          std::string c = "1")
      : name(std::move(n)),
        type(std::move(t)),
        key(k),
        required(r),
        defaultValue(std::move(d)),
        card(std::move(c)) {}
  std::string name;
  std::string type;  // a simple type's name, or a business object type
  bool key;
  bool required;
  std::string defaultValue;  // empty: none
  std::string card;          // "1" or "n"
};

const char kEmptyMarker[] = "\x05";

// The spec `name` with `attrs` and `verbs`. `appText` is the spec's application text; a verb's
// text is `verbTextPrefix` followed by the verb (both empty unless given).
inline std::vector<std::string> specFields(const std::string& name,
                                           const std::vector<AttrDef>& attrs,
                                           const std::vector<std::string>& verbs,
                                           const std::string& appText = "",
                                           const std::string& verbTextPrefix = "") {
  auto text = [](const std::string& t) { return t.empty() ? std::string(kEmptyMarker) : t; };
  std::vector<std::string> f = {"BusObjSpec",
                                "4.2.0.0",
                                name,
                                "1.0.0",
                                text(appText),
                                std::to_string(attrs.size()),
                                std::to_string(verbs.size())};
  for (const AttrDef& a : attrs) {
    f.insert(f.end(), {a.name, a.type, a.key ? "true" : "false", "false",
                       a.required ? "true" : "false", kEmptyMarker, "40", text(a.defaultValue),
                       "1.0.0", a.card, "Containment", "true", kEmptyMarker});
  }
  for (const std::string& v : verbs) {
    f.push_back(v);
    f.push_back(verbTextPrefix.empty() ? kEmptyMarker : verbTextPrefix + v);
  }
  return f;
}

}  // namespace vytest

#endif  // VY_SPEC_FIELDS_HPP
