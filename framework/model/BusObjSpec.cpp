#include "BusObjSpec.hpp"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "AgentLog.hpp"
#include "BOAttrType.hpp"
#include "BusinessObject.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "StringMessage.hpp"
#include "TextCopy.hpp"
#include "Tracing.hpp"
#include "WireText.hpp"

const char* const VY_EMPTY_STRING = "\x05";

namespace {

constexpr int kRefusedChangeMsg = 54;
constexpr int kAttrFields = 13;
constexpr int kVerbFields = 2;
constexpr int kDefaultMaxLength = 255;
constexpr const char* kSpecMarker = "BusObjSpec";

bool isEmptyMarker(const char* text) { return std::strcmp(text, VY_EMPTY_STRING) == 0; }

// A count field: decimal digits only, within int. Returns -1 for anything else.
int parseCount(const char* text) {
  if (*text == '\0') return -1;
  long long value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return -1;
    value = value * 10 + (*p - '0');
    if (value > INT_MAX) return -1;
  }
  return static_cast<int>(value);
}

// The maximum length of an attribute: the leading number as atoi reads it, held within int;
// 0 (also for text that is not a number) stands for 255.
int parseMaxLength(const char* text) {
  long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return value == 0 ? kDefaultMaxLength : static_cast<int>(value);
}

int typeNumberOf(const char* typeName) {
  static const char* const kNames[] = {"Boolean", "Integer", "Float",   "Double",
                                       "String",  "Date",    "LongText"};
  for (int i = 0; i < 7; ++i) {
    if (std::strcmp(typeName, kNames[i]) == 0) return i + 1;
  }
  return 0;  // the name of a child business object type
}

// Writes an empty text as the empty marker; null stays null (and is written "null").
const char* orEmptyMarker(const char* text) {
  return (text != nullptr && *text == '\0') ? VY_EMPTY_STRING : text;
}

int asBoolean(unsigned char flag) { return flag != 0 ? 1 : 0; }

void logFatal(int msgNum, const char* param) {
  vy::logKyMsg(msgNum, KyMsgFormat::MLV_FATAL, 1, param);
}

}  // namespace

charStr::charStr() : verb(nullptr), appText(nullptr) {}

charStr::charStr(const char* v, const char* text)
    : verb(vy::copyText(v)), appText(vy::copyText(text)) {}

charStr::~charStr() {
  std::free(verb);
  std::free(appText);
}

BusObjSpec::BusObjSpec(StringMessage& msg)
    : name(nullptr),
      attrCount(0),
      appText(nullptr),
      verbs(HashTbl::DEFAULT_SIZE),
      myHandler(nullptr),
      version(nullptr),
      attrList(nullptr),
      parseError(nullptr) {
  parse(msg);
  // Whatever happened, the spec answers its accessors without null surprises.
  if (name == nullptr) name = vy::copyText("");
  if (appText == nullptr) appText = vy::copyText("");
  if (version == nullptr) version = new KyVersion(nullptr);
  if (attrList == nullptr) {
    attrCount = 0;
    attrList = new BOAttrType[0];
  }
}

void BusObjSpec::parse(StringMessage& msg) {
  // Marker, format version, name, version, application text, attribute count, verb count.
  const char* head[7];
  for (const char*& field : head) {
    field = msg.nextToken();
    if (field == nullptr) {
      parseError = "the spec text ends before its attribute and verb counts";
      return;
    }
  }
  name = vy::copyText(head[2]);
  version = new KyVersion(head[3]);
  appText = vy::copyText(isEmptyMarker(head[4]) ? "" : head[4]);
  int attributes = parseCount(head[5]);
  int verbCount = parseCount(head[6]);
  if (attributes < 0 || verbCount < 0) {
    parseError = "the spec text has an attribute or verb count that is not a number";
    return;
  }

  // Gather the group fields first: the vector grows only with fields the text really holds, so
  // an inflated count costs nothing before it is found out.
  long long wanted = static_cast<long long>(attributes) * kAttrFields +
                     static_cast<long long>(verbCount) * kVerbFields;
  std::vector<const char*> fields;
  for (long long i = 0; i < wanted; ++i) {
    const char* field = msg.nextToken();
    if (field == nullptr) {
      parseError = "the spec text holds fewer attribute or verb fields than its counts announce";
      return;
    }
    fields.push_back(field);
  }

  attrList = new BOAttrType[attributes];
  attrCount = attributes;
  const char* const* f = fields.data();
  for (int i = 0; i < attributes; ++i, f += kAttrFields) {
    const char* blank = BusinessObject::getBlankValue();
    const char* attrApp = isEmptyMarker(f[5]) ? blank : f[5];
    const char* attrDefault = isEmptyMarker(f[7]) ? blank : f[7];
    const char* card = std::strcmp(f[9], "null") == 0 ? "" : f[9];
    unsigned char serverBound = std::strcmp(f[11], "true") == 0 ? 1 : 0;
    const char* aux = isEmptyMarker(f[12]) ? "" : f[12];
    BOAttrType& attr = attrList[i];
    attr.setAttrib(f[0], typeNumberOf(f[1]), f[1], std::strcmp(f[2], "true") == 0,
                   std::strcmp(f[3], "true") == 0, std::strcmp(f[4], "true") == 0, attrApp,
                   parseMaxLength(f[6]), attrDefault, f[8], card, f[10], serverBound);
    attr.setAuxText(aux);
  }
  for (int i = 0; i < verbCount; ++i, f += kVerbFields) {
    addVerbsList(new charStr(f[0], isEmptyMarker(f[1]) ? "" : f[1]));
  }
}

BusObjSpec::~BusObjSpec() {
  delete[] attrList;
  attrList = nullptr;
  std::free(name);
  name = nullptr;
  delete version;
  version = nullptr;
  std::free(appText);
  appText = nullptr;
  std::vector<charStr*> entries;
  for (unsigned int i = 0; i < verbs.capacity(); ++i) {
    if (verbs.slotAt(i) != nullptr) entries.push_back(PtrSet<charStr>::pointerOf(verbs.slotAt(i)));
  }
  for (charStr* entry : entries) {
    verbs.remove(entry);
    delete entry;
  }
}

StringMessage* BusObjSpec::toStringMessage() const {
  auto* msg = new StringMessage();
  msg->appendField(kSpecMarker);
  msg->appendField(vy::wire::kFormatVersion);
  msg->appendField(name);
  msg->appendField(version != nullptr ? version->toString() : KyVersion(nullptr).toString());
  msg->appendField(orEmptyMarker(appText));
  char number[16];
  std::snprintf(number, sizeof number, "%d", attrCount);
  msg->appendField(number);
  std::snprintf(number, sizeof number, "%u", verbs.size());
  msg->appendField(number);
  for (int i = 0; i < attrCount; ++i) {
    const BOAttrType& attr = attrList[i];
    msg->appendField(attr.getName());
    msg->appendField(attr.getTypeName());
    // Flags set by connector code may hold any non-zero value for true.
    msg->appendBooleanField(asBoolean(attr.isKey()));
    msg->appendBooleanField(asBoolean(attr.isForeignKey()));
    msg->appendBooleanField(asBoolean(attr.isRequired()));
    msg->appendField(orEmptyMarker(attr.getAppText()));
    std::snprintf(number, sizeof number, "%d", attr.getMaxLength());
    msg->appendField(number);
    msg->appendField(orEmptyMarker(attr.getDefault()));
    msg->appendField(attr.getBOVersion().toString());
    msg->appendField(attr.getCardinality());
    msg->appendField(attr.getRelationType());
    msg->appendBooleanField(asBoolean(attr.getIsRequiredServerBound()));
    msg->appendField(orEmptyMarker(attr.getAuxText()));
  }
  for (unsigned int i = 0; i < verbs.capacity(); ++i) {
    const Hashable* node = verbs.slotAt(i);
    if (node == nullptr) continue;
    const charStr* entry = PtrSet<charStr>::pointerOf(node);
    msg->appendField(entry->getVerb());
    const char* text = entry->getAppText();
    msg->appendField(text == nullptr ? VY_EMPTY_STRING : orEmptyMarker(text));
  }
  return msg;
}

void BusObjSpec::setName(char* n) {
  if (n != name) std::free(name);
  name = n;
}

void BusObjSpec::setMyVer(KyVersion* v) {
  if (v != version) delete version;
  version = v;
}

void BusObjSpec::setAppText(char* text) {
  if (text != appText) std::free(appText);
  appText = text;
}

void BusObjSpec::setAttrList(BOAttrType* list) {
  if (list != attrList) delete[] attrList;
  attrList = list;
}

BOAttrType* BusObjSpec::getAttribute(const char* attrName) const {
  int index = getAttributeIndex(attrName);
  if (index >= 0) return &attrList[index];
  if (vy::traceOn(Tracing::LEVEL5)) {
    vy::traceLine(Tracing::LEVEL5, "Attempt to get nonexistent attribute detected.");
  }
  return nullptr;
}

BOAttrType* BusObjSpec::getAttribute(int index) const {
  if (index < 0 || index >= attrCount) return nullptr;
  return &attrList[index];
}

int BusObjSpec::getAttributeIndex(const char* attrName) const {
  if (attrName == nullptr) return -1;
  for (int i = 0; i < attrCount; ++i) {
    const char* n = attrList[i].getName();
    if (n != nullptr && std::strcmp(n, attrName) == 0) return i;
  }
  return -1;
}

void BusObjSpec::logRefusedChange(const char* operation) const {
  logFatal(kRefusedChangeMsg, operation);
}

int BusObjSpec::setAttribute(BOAttrType&, int) {
  logRefusedChange("BusObjSpec::setAttribute");
  return 0;
}

int BusObjSpec::setAttribute(char*, char*, int) {
  logRefusedChange("BusObjSpec::setAttribute");
  return 0;
}

int BusObjSpec::setAttributeCount(int) {
  logRefusedChange("BusObjSpec::setAttributeCount");
  return attrCount;
}

void BusObjSpec::setAttributeList(BOAttrType&) { logRefusedChange("BusObjSpec::setAttributeList"); }

int BusObjSpec::isVerbSupported(const char* verb) const {
  if (verb == nullptr) return 1;
  for (unsigned int i = 0; i < verbs.capacity(); ++i) {
    const Hashable* node = verbs.slotAt(i);
    if (node == nullptr) continue;
    const charStr* entry = PtrSet<charStr>::pointerOf(node);
    if (entry->getVerb() != nullptr && std::strcmp(entry->getVerb(), verb) == 0) return 1;
  }
  return 0;
}

const char* BusObjSpec::getVerbAppText(const char* verb) const {
  if (verb == nullptr) return nullptr;
  for (unsigned int i = 0; i < verbs.capacity(); ++i) {
    const Hashable* node = verbs.slotAt(i);
    if (node == nullptr) continue;
    const charStr* entry = PtrSet<charStr>::pointerOf(node);
    if (entry->getVerb() != nullptr && std::strcmp(entry->getVerb(), verb) == 0) {
      return entry->getAppText();
    }
  }
  return nullptr;
}

void BusObjSpec::addVerbsList(charStr* entry) {
  if (entry != nullptr) verbs.add(entry);
}

void BusObjSpec::removeVerbsList(charStr* entry) {
  if (entry != nullptr) verbs.remove(entry);
}
