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
#include "RequestRefusal.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "TextArena.hpp"
#include "TextCopy.hpp"
#include "WireRequest.hpp"
#include "WireText.hpp"
#include "WireTokens.hpp"

const char* const TransactionBusinessObject::KIND_MARKER = vy::wire::kTransactionMarker;
const char* const TransactionBusinessObject::FORMAT_VERSION = vy::wire::kFormatVersion;

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

TransactionBusinessObject::TransactionBusinessObject(vy::WireTokens& in)
    : BusinessObject(in, 0), refValues(nullptr) {
  try {
    if (getSpecFor() != nullptr) readSection(in);
  } catch (...) {
    releaseRefValues();
    throw;
  }
}

TransactionBusinessObject::~TransactionBusinessObject() { releaseRefValues(); }

void TransactionBusinessObject::releaseRefValues() {
  if (refValues == nullptr) return;
  releaseSlots(refValues);
  refValues = nullptr;
}

int TransactionBusinessObject::initrefValues(StringMessage& message) {
  vy::WireTokens in(message);
  return readSection(in);
}

int TransactionBusinessObject::readSection(vy::WireTokens& in) {
  releaseRefValues();
  parent = nullptr;
  if (spec == nullptr) return 0;
  if (!in.next() || !in.is(vy::wire::kTransactionMarker)) return 0;

  // Writers put the format version between the kind marker and the spec name; older ones do
  // not. A spec name never looks like a format version, so the field is skipped when present.
  bool named = in.next();
  if (named && in.is(vy::wire::kFormatVersion)) named = in.next();
  std::string specName = named ? std::string(in.text(), in.length()) : std::string();
  bool versioned = named && in.next();
  std::string specVersion = versioned ? std::string(in.text(), in.length()) : std::string();
  if (!versioned || !in.next()) {
    failSection("Malformed transaction section: truncated header", nullptr);
    return -1;
  }
  std::string verbText(in.text(), in.length());

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
  releaseText(verb);
  verb = keepText(verbText.data(), verbText.size());

  const int count = spec->getAttributeCount();
  long announced = -1;
  if (!in.next() || !vy::wire::parseCount(in.text(), in.length(), &announced) ||
      announced != count) {
    logKyMsg(64, KyMsgFormat::MLV_ERROR, specVersion.c_str(), specName.c_str());
    failSection("Transaction section attribute count does not match the spec", specName.c_str());
    return -1;
  }

  refValues = newSlots(count);
  // Reference containers carry no delta flag.
  std::string why;
  if (!readValues(in, refValues, 0, false, "Malformed transaction section", why)) {
    failSection(why.c_str(), nullptr);
    return -1;
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
    if (status != nullptr && status->getErrorMsg() == nullptr) {
      status->seterrMsg(vy::requestRefusal(*this).c_str());
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
  vy::appendSection(*this, message);
}
