#include "ObjectWire.hpp"

#include <memory>

#include "BOAttrType.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "KyVersion.hpp"
#include "StringMessage.hpp"
#include "WireText.hpp"

namespace vy {
namespace testing {
namespace {

BusObjSpec* specOf(const std::string& type) {
  BusObjSpec* spec = BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(type.c_str());
  if (spec == nullptr) throw Error("unknown type " + type + " (announce its spec first)");
  return spec;
}

void field(StringMessage& m, const std::string& text) { m.appendField(text.c_str()); }

void appendObject(StringMessage& m, const Object& o) {
  BusObjSpec* spec = specOf(o.type());
  KyVersion* version = spec->getVersion();
  field(m, vy::wire::kObjectMarker);
  field(m, vy::wire::kFormatVersion);
  field(m, o.type());
  m.appendField(version != nullptr ? version->toString() : nullptr);
  field(m, o.isDelta() ? "true" : "false");
  field(m, o.verb());  // empty travels as "null"
  field(m, o.locale());
  int count = spec->getAttributeCount();
  field(m, std::to_string(count));
  for (const auto& a : o.attrs()) {
    if (spec->getAttributeIndex(a.first.c_str()) < 0)
      throw Error(o.type() + " has no attribute " + a.first);
  }
  for (int i = 0; i < count; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    const char* name = attr != nullptr ? attr->getName() : nullptr;
    const Object::Value* v = nullptr;
    for (const auto& a : o.attrs())
      if (name != nullptr && a.first == name) v = &a.second;
    bool simple = attr == nullptr || attr->getTypeNum() != 0;
    if (v == nullptr || v->kind == Object::Value::kIgnored) {
      field(m, simple ? vy::wire::kIgnoreText : "0");
    } else if (v->kind == Object::Value::kBlank) {
      field(m, vy::wire::kBlankText);
    } else if (v->kind == Object::Value::kText) {
      if (!simple) throw Error(std::string(name) + " of " + o.type() + " holds objects, not text");
      field(m, v->text.empty() ? vy::wire::kBlankText : v->text);
    } else {
      if (simple) throw Error(std::string(name) + " of " + o.type() + " holds text, not objects");
      if (!attr->isMultipleCard()) {
        if (v->children.size() > 1)
          throw Error(std::string(name) + " of " + o.type() + " holds one object");
        if (v->children.empty()) {
          field(m, "0");
          continue;
        }
        field(m, "1");
        appendObject(m, v->children[0]);
        continue;
      }
      field(m, std::to_string(v->children.size()));
      if (v->children.empty()) continue;
      field(m, v->deltaContainer ? "true" : "false");
      for (const Object& child : v->children) appendObject(m, child);
    }
  }
}

}  // namespace

std::u16string objectToWire(const Object& object) {
  StringMessage m;
  appendObject(m, object);
  const unsigned short* units = m.toUTF16String();
  return units != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(units),
                                           static_cast<size_t>(m.getCurrentUTF16Size()))
                          : std::u16string();
}

Object objectFrom(BusinessObject& bo) {
  Object o(bo.getName() ? bo.getName() : "", bo.getVerb() ? bo.getVerb() : "");
  if (o.verb() == "null") o.setVerb("");
  if (bo.getLocale() != nullptr) o.setLocale(bo.getLocale());
  o.setDelta(bo.isDelta() != 0);
  BusObjSpec* spec = bo.getSpecFor();
  int count = spec != nullptr ? bo.getAttrCount() : 0;
  for (int i = 0; i < count; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr || attr->getName() == nullptr) continue;
    std::string name = attr->getName();
    void* value = bo.getAttrValue(i);
    if (value == nullptr) continue;
    if (attr->getTypeNum() != 0) {
      if (BusinessObject::isBlankValue(value))
        o.blank(name);
      else
        o.set(name, static_cast<const char*>(value));
      continue;
    }
    if (value == BusinessObject::BlankValue) {
      o.blank(name);
    } else if (attr->isMultipleCard()) {
      auto* container = static_cast<BusObjContainer*>(value);
      if (container->isDelta()) o.deltaContainer(name);
      for (int k = 0; k < container->getObjectCount(); ++k)
        if (BusinessObject* child = container->getObject(k)) o.add(name, objectFrom(*child));
    } else {
      o.add(name, objectFrom(*static_cast<BusinessObject*>(value)));
    }
  }
  return o;
}

Object objectFromWire(const std::u16string& wire) {
  StringMessage m(reinterpret_cast<const unsigned short*>(wire.c_str()));
  BusinessObject bo(m);
  if (bo.getSpecFor() == nullptr) {
    throw Error(std::string("the object text cannot be read: ") +
                (bo.getReadError() != nullptr ? bo.getReadError() : "unknown type"));
  }
  return objectFrom(bo);
}

}  // namespace testing
}  // namespace vy
