#include "TransactionBusinessObject.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "BOAttrType.hpp"
#include "BOHandlerCPP.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "TextCopy.hpp"
#include "WireText.hpp"

const char* const TransactionBusinessObject::KIND_MARKER = "TransactionBusinessObject";
const char* const TransactionBusinessObject::FORMAT_VERSION = vy::wire::kFormatVersion;

namespace {

bool same(const char* a, const char* b) { return a != nullptr && std::strcmp(a, b) == 0; }

// A count field: decimal digits only, within int range; -1 for anything else.
int parseCount(const char* text) {
  if (text == nullptr || *text == '\0') return -1;
  long value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return -1;
    value = value * 10 + (*p - '0');
    if (value > 0x7fffffff) return -1;
  }
  return static_cast<int>(value);
}

// A child count as the base layout reads it (atoi), refusing texts that are not numbers at all.
bool parseChildCount(const char* text, int* count) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0') return false;
  *count = value > 0x7fffffff ? 0x7fffffff : static_cast<int>(value);
  return true;
}

std::string quoted(const char* text) { return std::string("\"") + (text ? text : "") + "\""; }

}  // namespace

TransactionBusinessObject::TransactionBusinessObject(StringMessage& message)
    : BusinessObject(message), refValues(nullptr) {
  // Nothing here throws once the base is built except allocation; the base part is then
  // destroyed by the language together with whatever initrefValues stored.
  try {
    if (getSpecFor() != nullptr) initrefValues(message);
  } catch (...) {
    releaseRefValues();
    throw;
  }
}

TransactionBusinessObject::~TransactionBusinessObject() { releaseRefValues(); }

void TransactionBusinessObject::releaseRefValues() {
  if (refValues == nullptr) return;
  if (spec != nullptr) freeSlots(refValues, spec);
  delete[] refValues;
  refValues = nullptr;
}

int TransactionBusinessObject::initrefValues(StringMessage& message) {
  releaseRefValues();
  parent = nullptr;
  if (spec == nullptr) return 0;
  if (!same(message.nextToken(), KIND_MARKER)) return 0;

  // Writers put the format version between the kind marker and the spec name; older ones do
  // not. A spec name never looks like a format version, so the field is skipped when present.
  const char* name = message.nextToken();
  if (same(name, FORMAT_VERSION)) name = message.nextToken();
  const char* versionText = message.nextToken();
  const char* verbText = message.nextToken();
  if (name == nullptr || versionText == nullptr || verbText == nullptr) {
    failSection("Malformed transaction section: truncated header", nullptr);
    return -1;
  }
  // Tokens stay valid while the message is only read; copy what outlives the next failure text.
  std::string specName(name);
  std::string specVersion(versionText);

  BusObjSpec* found =
      BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(specName.c_str(), specVersion.c_str());
  if (found == nullptr) {
    logKyMsg(64, KyMsgFormat::MLV_ERROR, specVersion.c_str(), specName.c_str());
    failSection("Unknown business object type in the transaction section",
                (specName + " " + specVersion).c_str());
    return -1;
  }
  // The value array was laid out by the object's own spec: a section of another type cannot be
  // applied to it.
  if (found != spec) {
    failSection("Malformed transaction section: another type than the object's",
                (specName + " " + specVersion).c_str());
    return -1;
  }
  // The section's verb replaces the object's as the header's verb is read: exactly as written,
  // with no support check.
  std::free(verb);
  verb = vy::copyText(verbText);

  const int count = spec->getAttributeCount();
  const int announced = parseCount(message.nextToken());
  if (announced != count) {
    logKyMsg(64, KyMsgFormat::MLV_ERROR, specVersion.c_str(), specName.c_str());
    failSection("Transaction section attribute count does not match the spec", specName.c_str());
    return -1;
  }

  refValues = new void*[count > 0 ? count : 1]();
  for (int i = 0; i < count; ++i) {
    const char* t = message.nextToken();
    if (t == nullptr) {
      failSection("Malformed transaction section: truncated inside", specName.c_str());
      return -1;
    }
    const int type = getAttrType(i);
    if (same(t, "KyIgnore")) continue;
    if (same(t, "KyBlank")) {
      refValues[i] = BlankValue;
      continue;
    }
    if (type >= 1 && type <= 7) {
      storeSlot(refValues, spec, this, i, t, type);
      continue;
    }
    if (type != 0) continue;  // an attribute type the model does not know: the token is skipped

    int n = 0;
    if (!parseChildCount(t, &n)) {
      failSection("Malformed transaction section: bad child count", quoted(t).c_str());
      return -1;
    }
    if (n <= 0) continue;
    BOAttrType* desc = getAttrDesc(i);
    const bool multiple = desc != nullptr && desc->isMultipleCard();
    BusObjContainer* container = nullptr;
    if (multiple) {
      container = new BusObjContainer(nullptr);
      refValues[i] = container;
    }
    for (int k = 0; k < (multiple ? n : 1); ++k) {
      std::unique_ptr<BusinessObject> child(new BusinessObject(message));
      if (child->getSpecFor() == nullptr) {
        std::string why = child->getReadError() ? child->getReadError() : "unreadable";
        failSection("Malformed transaction section: bad reference child", why.c_str());
        return -1;
      }
      child->setParent(this);
      if (multiple) {
        container->setTheSpec(child->getSpecFor());
        container->insertObject(child.release());
      } else {
        refValues[i] = child.release();
      }
    }
  }
  return 1;
}

void TransactionBusinessObject::failSection(const char* what, const char* detail) {
  releaseRefValues();
  failRead(what, detail);
}

void* TransactionBusinessObject::getRefAttrValue(int index) {
  if (spec == nullptr || index < 0 || index >= getAttrCount()) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", index);
    logKyMsg(73, KyMsgFormat::MLV_FATAL, text, "Unknown");
    return nullptr;
  }
  return refValues ? refValues[index] : nullptr;
}

void* TransactionBusinessObject::getRefAttrValue(const char* name) {
  int index = (spec != nullptr && name != nullptr) ? spec->getAttributeIndex(name) : -1;
  return getRefAttrValue(index);
}

int TransactionBusinessObject::setReferenceAttributeValue(int index, const void* value, int type) {
  if (spec == nullptr || index < 0 || index >= getAttrCount()) return 0;
  if (refValues == nullptr) {
    if (value == nullptr) return 1;  // every slot is already ignored
    refValues = new void*[getAttrCount()]();
  }
  return storeSlot(refValues, spec, this, index, value, type);
}

void TransactionBusinessObject::setRefAttrValue(int index, const void* value, int type) {
  if (setReferenceAttributeValue(index, value, type) == 1) return;
  char indexText[16];
  char typeText[16];
  std::snprintf(indexText, sizeof indexText, "%d", index);
  std::snprintf(typeText, sizeof typeText, "%d", type);
  logKyMsg(73, KyMsgFormat::MLV_FATAL, indexText, typeText);
}

void TransactionBusinessObject::setRefAttrValue(const char* name, const void* value, int type) {
  int index = (spec != nullptr && name != nullptr) ? spec->getAttributeIndex(name) : -1;
  if (setReferenceAttributeValue(index, value, type) == 1) return;
  char typeText[16];
  std::snprintf(typeText, sizeof typeText, "%d", type);
  logKyMsg(72, KyMsgFormat::MLV_FATAL, name ? name : "", typeText);
}

int TransactionBusinessObject::equalsRefAttrs(BusinessObject& other) {
  if (spec == nullptr || refValues == nullptr) return 0;
  // Slots are compared position by position, which is only meaningful for one layout.
  if (other.getSpecFor() != spec || other.getAttrValues() == nullptr) return -1;
  void** theirs = other.getAttrValues();
  const int count = getAttrCount();
  for (int i = 0; i < count; ++i) {
    void* mine = refValues[i];
    void* their = theirs[i];
    if (mine == nullptr || their == nullptr) continue;
    const int type = getAttrType(i);
    if (type >= 1 && type <= 7) {
      if (std::strcmp(static_cast<const char*>(mine), static_cast<const char*>(their)) != 0)
        return -1;
      continue;
    }
    if (type != 0 || mine == BlankValue || their == BlankValue) continue;
    BOAttrType* desc = getAttrDesc(i);
    if (desc != nullptr && desc->isMultipleCard()) {
      if (static_cast<BusObjContainer*>(mine)->equals(static_cast<BusObjContainer*>(their)) != 0)
        return -1;
    } else if (static_cast<BusinessObject*>(mine)->equalsContent(
                   static_cast<BusinessObject*>(their)) != 0) {
      return -1;
    }
  }
  return 0;
}

int TransactionBusinessObject::doVerbFor(ReturnStatusDescriptor* status) {
  BOHandlerCPP* handler = spec ? spec->getMyBOHandler() : nullptr;
  if (handler == nullptr) {
    if (status != nullptr) {
      std::string text =
          spec ? std::string("No business object handler is registered for the type ") +
                     spec->getName()
               : std::string("The transaction business object has no type");
      status->seterrMsg(text.c_str());
    }
    return -1;
  }
  return handler->doBestEffort(*this, status);
}

StringMessage* TransactionBusinessObject::toStringMessage() {
  StringMessage* message = BusinessObject::toStringMessage();
  if (message != nullptr) toStringMessageT(*message);
  return message;
}

StringMessage* TransactionBusinessObject::toBusinessObjectString() {
  return BusinessObject::toStringMessage();
}

void TransactionBusinessObject::toStringMessageT(StringMessage& message) {
  if (spec == nullptr) return;
  message.appendField(KIND_MARKER);
  message.appendField(FORMAT_VERSION);
  message.appendField(spec->getName());
  KyVersion* version = spec->getVersion();
  message.appendField(version ? version->toString() : nullptr);
  message.appendField(verb);  // a null verb is written "null"
  const int count = getAttrCount();
  char countText[16];
  std::snprintf(countText, sizeof countText, "%d", count);
  message.appendField(countText);
  for (int i = 0; i < count; ++i) appendRefGroup(message, i);
}

void TransactionBusinessObject::appendRefGroup(StringMessage& message, int index) {
  void* value = refValues ? refValues[index] : nullptr;
  const int type = getAttrType(index);
  if (type != 0) {
    if (value == nullptr)
      message.appendField("KyIgnore");
    else if (isBlankValue(value))  // the marker, or an owned empty text
      message.appendField("KyBlank");
    else
      message.appendField(static_cast<const char*>(value));
    return;
  }
  // A blank marker in an object slot stands for no child.
  if (value == nullptr || value == BlankValue) {
    message.appendField("0");
    return;
  }
  BOAttrType* desc = getAttrDesc(index);
  char countText[16];
  if (desc != nullptr && desc->isMultipleCard()) {
    BusObjContainer* container = static_cast<BusObjContainer*>(value);
    // The count announces exactly the children that follow, gaps left out.
    int present = 0;
    for (int k = 0; k < container->getObjectCount(); ++k)
      if (container->getObject(k) != nullptr) ++present;
    std::snprintf(countText, sizeof countText, "%d", present);
    message.appendField(countText);
    for (int k = 0; k < container->getObjectCount(); ++k)
      if (BusinessObject* child = container->getObject(k)) child->appendTo(message);
    return;
  }
  message.appendField("1");
  static_cast<BusinessObject*>(value)->appendTo(message);
}
