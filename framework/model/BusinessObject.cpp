// Construction, value slots, verbs and the whole-object operations of BusinessObject. The wire
// format lives in BusinessObjectWire.cpp and delta processing in BusinessObjectDelta.cpp.
#include "BusinessObject.hpp"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "AgentLog.hpp"
#include "AgentPort.hpp"
#include "BOAttrType.hpp"
#include "BOHandlerCPP.hpp"
#include "BusObjContainer.hpp"
#include "BusObjNativeImpl.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "RequestRefusal.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "SpecWalk.hpp"
#include "TextArena.hpp"
#include "TextCopy.hpp"
#include "WireText.hpp"

namespace {

// The one blank text; its address is the blank marker.
char gBlankText[1] = {'\0'};

const char kDefaultLocale[] = "en_US";
const char kEventIdAttr[] = "ObjectEventId";
// Longest connector name used in event ids.
constexpr int kConnectorNameSize = 256;

constexpr int kMsgVerbNotSupported = 62;
constexpr int kMsgNoSpec = 64;
constexpr int kMsgSetByNameRefused = 72;
constexpr int kMsgBadIndex = 73;
constexpr int kMsgRequiredNoDefaults = 17205;
constexpr int kMsgRequiredNoDefault = 17206;

std::string decimal(long value) { return std::to_string(value); }

}  // namespace

char* const BusinessObject::IgnoreValue = nullptr;
char* const BusinessObject::BlankValue = gBlankText;
const char* const BusinessObject::UPDATE_VERB = "Update";
const char* const BusinessObject::DELETE_VERB = "Delete";
const char* const BusinessObject::CREATE_VERB = "Create";

// ---------------------------------------------------------------------------------------------
// construction and destruction

void BusinessObject::initEmpty() {
  verb = nullptr;
  locale = nullptr;
  appVerb = nullptr;
  values = nullptr;
  parent = nullptr;
  spec = nullptr;
  context = nullptr;
  delta = 0;
  readError = nullptr;
  arena = nullptr;
}

void BusinessObject::allocValues() {
  int count = getAttrCount();
  values = new void*[count > 0 ? count : 1]();
}

void BusinessObject::lookUpSpec(const char* name, KyVersion& version) {
  spec = name == nullptr ? nullptr
                         : BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(name, version);
  if (spec == nullptr) {
    std::string versionText = version.toString();
    logKyMsg(kMsgNoSpec, KyMsgFormat::MLV_ERROR, versionText.c_str(), name ? name : "null");
    return;
  }
  allocValues();
}

BusinessObject::BusinessObject(const char* name) {
  initEmpty();
  KyVersion newest(KyVersion::getLATEST(), KyVersion::getLATEST(), KyVersion::getLATEST());
  lookUpSpec(name, newest);
  if (spec != nullptr) setLocale(vy::agentPort().locale());
}

BusinessObject::BusinessObject(const char* name, const char* newLocale) {
  initEmpty();
  KyVersion newest(KyVersion::getLATEST(), KyVersion::getLATEST(), KyVersion::getLATEST());
  lookUpSpec(name, newest);
  if (spec != nullptr) setLocale(newLocale);
}

BusinessObject::BusinessObject(const char* name, KyVersion& version) {
  initEmpty();
  lookUpSpec(name, version);
  if (spec != nullptr) setLocale(vy::agentPort().locale());
}

BusinessObject::BusinessObject(BusObjSpec* s) {
  initEmpty();
  spec = s;
  if (spec != nullptr) {
    allocValues();
    setLocale(vy::agentPort().locale());
  }
}

BusinessObject::~BusinessObject() { releaseState(); }

void BusinessObject::releaseState() {
  releaseText(verb);
  releaseText(appVerb);
  releaseText(locale);
  std::free(readError);
  if (values != nullptr) {
    freeSlots(values, spec, this);
    if (!vy::arenaHolds(arena, values)) delete[] values;
  }
  vy::arenaRelease(arena);
}

char* BusinessObject::keepText(const char* text, size_t n) { return vy::arenaCopy(arena, text, n); }

void BusinessObject::releaseText(void* text) const {
  if (text != nullptr && text != BlankValue && !vy::arenaHolds(arena, text)) std::free(text);
}

void BusinessObject::takeStateFrom(BusinessObject& other) {
  if (&other == this) return;
  releaseState();
  verb = other.verb;
  appVerb = other.appVerb;
  locale = other.locale;
  readError = other.readError;
  values = other.values;
  spec = other.spec;
  context = other.context;
  delta = other.delta;
  arena = other.arena;
  other.arena = nullptr;
  other.verb = other.appVerb = other.locale = other.readError = nullptr;
  other.values = nullptr;
  other.spec = nullptr;
  other.context = nullptr;
  // The children now belong to this object.
  forEachChild([this](BusinessObject* child, int) {
    child->parent = this;
    return true;
  });
}

void BusinessObject::freeSlot(void** slots, BusObjSpec* s, int index, const BusinessObject* owner) {
  if (slots == nullptr || s == nullptr || index < 0 || index >= s->getAttributeCount()) return;
  void* value = slots[index];
  slots[index] = nullptr;
  if (value == nullptr || value == BlankValue) return;
  BOAttrType* attr = s->getAttribute(index);
  if (attr == nullptr) return;
  if (attr->isObjectType()) {
    if (attr->isMultipleCard()) {
      delete static_cast<BusObjContainer*>(value);
    } else {
      delete static_cast<BusinessObject*>(value);
    }
  } else if (vy::wire::isSimpleType(attr->getTypeNum())) {
    if (owner != nullptr) {
      owner->releaseText(value);
    } else {
      std::free(value);
    }
  }
}

void BusinessObject::freeSlots(void** slots, BusObjSpec* s, const BusinessObject* owner) {
  if (slots == nullptr || s == nullptr) return;
  // Children are not deleted from inside their parent's destructor: each one is first emptied
  // of its own children, which join the work list, so the call depth stays flat whatever the
  // depth of the tree.
  // The work list stays on the stack while it is short, as it is for most trees.
  constexpr size_t kOnStack = 32;
  BusinessObject* onStack[kOnStack];
  size_t stacked = 0;
  std::vector<BusinessObject*> spilled;
  auto push = [&](BusinessObject* child) {
    if (stacked < kOnStack) {
      onStack[stacked++] = child;
    } else {
      spilled.push_back(child);
    }
  };
  auto detach = [&push](void** from, BusObjSpec* layout, const BusinessObject* holder) {
    int count = layout->getAttributeCount();
    for (int i = 0; i < count; ++i) {
      void* value = from[i];
      if (value == nullptr || value == BlankValue) continue;
      BOAttrType* attr = vy::attrAt(layout, i);
      from[i] = nullptr;
      if (attr->isObjectType()) {
        if (attr->isMultipleCard()) {
          BusObjContainer* container = static_cast<BusObjContainer*>(value);
          for (int k = 0; k < container->count; ++k) {
            if (container->slots[k] != nullptr) push(container->slots[k]);
            container->slots[k] = nullptr;
          }
          container->count = 0;
          delete container;
        } else {
          push(static_cast<BusinessObject*>(value));
        }
      } else if (vy::wire::isSimpleType(attr->getTypeNum())) {
        // Texts in the holder's own storage go with it.
        if (holder == nullptr || !vy::arenaHolds(holder->arena, value)) std::free(value);
      }
    }
  };
  detach(slots, s, owner);
  while (stacked > 0 || !spilled.empty()) {
    BusinessObject* child;
    if (!spilled.empty()) {
      child = spilled.back();
      spilled.pop_back();
    } else {
      child = onStack[--stacked];
    }
    if (child->values != nullptr && child->spec != nullptr) {
      // Emptied here, the array is released here too, so the child's destructor has no slots
      // left to walk.
      detach(child->values, child->spec, child);
      if (!vy::arenaHolds(child->arena, child->values)) delete[] child->values;
      child->values = nullptr;
    }
    delete child;
  }
}

void BusinessObject::freeValue(int index) { freeSlot(values, spec, index, this); }

// ---------------------------------------------------------------------------------------------
// accessors and messages

char* BusinessObject::getName() const { return spec ? spec->getName() : nullptr; }

KyVersion* BusinessObject::getVersion() const { return spec ? spec->getVersion() : nullptr; }

int BusinessObject::getAttrCount() const { return spec ? spec->getAttributeCount() : 0; }

bool BusinessObject::isBlankValue(const void* p) {
  if (p == nullptr) return false;
  return p == BlankValue || *static_cast<const char*>(p) == '\0';
}

void BusinessObject::logKyMsg(int num, int type, const char* arg1, const char* arg2) {
  vy::logKyMsg(num, type, 2, arg1 ? arg1 : "null", arg2 ? arg2 : "null");
}

BusinessObject* BusinessObject::childAt(int index) const {
  if (values == nullptr || index < 0 || index >= getAttrCount()) return nullptr;
  void* value = values[index];
  if (value == BlankValue) return nullptr;
  return static_cast<BusinessObject*>(value);
}

BusObjContainer* BusinessObject::containerAt(int index) const {
  if (values == nullptr || index < 0 || index >= getAttrCount()) return nullptr;
  void* value = values[index];
  if (value == BlankValue) return nullptr;
  return static_cast<BusObjContainer*>(value);
}

template <class Visit>
bool BusinessObject::forEachChildAt(int index, Visit visit) const {
  BOAttrType* attr = values != nullptr ? getAttrDesc(index) : nullptr;
  if (attr == nullptr || !attr->isObjectType()) return true;
  if (!attr->isMultipleCard()) {
    BusinessObject* child = childAt(index);
    return child == nullptr || visit(child, 0);
  }
  BusObjContainer* container = containerAt(index);
  if (container == nullptr) return true;
  for (int k = 0; k < container->getObjectCount(); ++k) {
    BusinessObject* child = container->getObject(k);
    if (child != nullptr && !visit(child, k)) return false;
  }
  return true;
}

template <class Visit>
bool BusinessObject::forEachChild(Visit visit) const {
  int count = getAttrCount();
  for (int i = 0; i < count; ++i) {
    if (!forEachChildAt(i, visit)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// attribute access

void* BusinessObject::getAttrValue(int index) {
  if (values == nullptr || index < 0 || index >= getAttrCount()) {
    logKyMsg(kMsgBadIndex, KyMsgFormat::MLV_FATAL, decimal(index).c_str(), "Unknown");
    return nullptr;
  }
  return values[index];
}

void* BusinessObject::getAttrValue(const char* name) {
  int index = (spec && name) ? spec->getAttributeIndex(name) : -1;
  return getAttrValue(index);
}

int BusinessObject::getAttrType(int index) const {
  BOAttrType* attr = getAttrDesc(index);
  return attr ? attr->getTypeNum() : -1;
}

int BusinessObject::getAttrType(const char* name) const {
  BOAttrType* attr = getAttrDesc(name);
  return attr ? attr->getTypeNum() : -1;
}

char* BusinessObject::getAttrName(int index) const {
  BOAttrType* attr = getAttrDesc(index);
  return attr ? attr->getName() : nullptr;
}

BOAttrType* BusinessObject::getAttrDesc(int index) const {
  return spec ? spec->getAttribute(index) : nullptr;
}

BOAttrType* BusinessObject::getAttrDesc(const char* name) const {
  if (spec == nullptr || name == nullptr) return nullptr;
  return spec->getAttribute(spec->getAttributeIndex(name));
}

int BusinessObject::storeSlot(void** slots, BusObjSpec* s, BusinessObject* owner, int index,
                              const void* value, int type) {
  if (slots == nullptr || s == nullptr || index < 0 || index >= s->getAttributeCount()) return 0;
  BOAttrType* attr = s->getAttribute(index);
  if (attr == nullptr) return 0;
  if (value == nullptr || value == BlankValue) {
    freeSlot(slots, s, index, owner);
    slots[index] = const_cast<void*>(value);
    return 1;
  }
  if (type < 0 || type >= 8 || !attr->isType(type)) return 0;
  if (type == 0) {
    BusinessObject* child = static_cast<BusinessObject*>(const_cast<void*>(value));
    child->parent = owner;
    if (attr->isMultipleCard()) {
      void* current = slots[index];
      BusObjContainer* container;
      if (current == nullptr || current == BlankValue) {
        container = new BusObjContainer(child->spec);
        slots[index] = container;
      } else {
        container = static_cast<BusObjContainer*>(current);
      }
      container->insertObject(child);
    } else {
      // The previous child is not freed: connector code may still hold it.
      slots[index] = child;
    }
    return 1;
  }
  char* copy = vy::copyText(static_cast<const char*>(value));
  void* current = slots[index];
  if (owner != nullptr) {
    owner->releaseText(current);
  } else if (current != nullptr && current != BlankValue) {
    std::free(current);
  }
  slots[index] = copy;
  return 1;
}

int BusinessObject::setAttributeValue(int index, const void* value, int type) {
  return storeSlot(values, spec, this, index, value, type);
}

int BusinessObject::setAttrValue(int index, const void* value, int type) {
  int stored = setAttributeValue(index, value, type);
  if (!stored) {
    logKyMsg(kMsgBadIndex, KyMsgFormat::MLV_FATAL, decimal(index).c_str(), decimal(type).c_str());
  }
  return stored;
}

int BusinessObject::setAttrValue(const char* name, const void* value, int type) {
  int index = (spec && name) ? spec->getAttributeIndex(name) : -1;
  int stored = setAttributeValue(index, value, type);
  if (!stored) {
    logKyMsg(kMsgSetByNameRefused, KyMsgFormat::MLV_FATAL, name, decimal(type).c_str());
  }
  return stored;
}

void BusinessObject::replaceChild(int index, BusinessObject* child) {
  void* previous = values ? values[index] : nullptr;
  if (!setAttributeValue(index, child, 0)) {
    delete child;
    return;
  }
  if (previous != nullptr && previous != BlankValue && previous != child) {
    delete static_cast<BusinessObject*>(previous);
  }
}

bool BusinessObject::isBlank(int index) const {
  BOAttrType* attr = getAttrDesc(index);
  if (attr == nullptr || !vy::wire::isSimpleType(attr->getTypeNum())) return false;
  const char* value = static_cast<const char*>(values[index]);
  return value != nullptr && *value == '\0';
}

bool BusinessObject::isBlank(const char* name) const {
  int index = (spec && name) ? spec->getAttributeIndex(name) : -1;
  return isBlank(index);
}

bool BusinessObject::isIgnore(int index) const {
  if (values == nullptr || index < 0 || index >= getAttrCount()) return true;
  return values[index] == nullptr;
}

bool BusinessObject::isIgnore(const char* name) const {
  int index = (spec && name) ? spec->getAttributeIndex(name) : -1;
  return isIgnore(index);
}

char* BusinessObject::getDefaultAttrValue(int index) const {
  BOAttrType* attr = getAttrDesc(index);
  return attr ? attr->getDefault() : IgnoreValue;
}

char* BusinessObject::getDefaultAttrValue(const char* name) const {
  BOAttrType* attr = getAttrDesc(name);
  return attr ? attr->getDefault() : IgnoreValue;
}

void* BusinessObject::makeNewAttrObject(int index) {
  BOAttrType* attr = getAttrDesc(index);
  if (attr == nullptr) return nullptr;
  if (attr->isObjectType()) {
    if (attr->getTypeName() == nullptr) return nullptr;
    const KyVersion* stored = attr->getBOVersionPtr();
    KyVersion version =
        stored ? *stored
               : KyVersion(KyVersion::getLATEST(), KyVersion::getLATEST(), KyVersion::getLATEST());
    return new BusinessObject(attr->getTypeName(), version);
  }
  int length = attr->getMaxLength();
  size_t bytes = static_cast<size_t>(length > 0 ? length : 0) + 1;
  char* buffer = static_cast<char*>(std::malloc(bytes));
  if (buffer != nullptr) buffer[0] = '\0';
  return buffer;
}

void* BusinessObject::makeNewAttrObject(const char* name) {
  int index = (spec && name) ? spec->getAttributeIndex(name) : -1;
  return makeNewAttrObject(index);
}

// ---------------------------------------------------------------------------------------------
// verbs and locale

bool BusinessObject::isVerb(const char* text) const {
  return verb != nullptr && std::strcmp(verb, text) == 0;
}

void BusinessObject::setVerb(const char* newVerb) {
  if (newVerb != nullptr && spec != nullptr && !spec->isVerbSupported(newVerb)) {
    logKyMsg(kMsgVerbNotSupported, KyMsgFormat::MLV_ERROR, newVerb, getName());
    return;
  }
  char* copy = newVerb ? vy::copyText(newVerb) : nullptr;
  releaseText(verb);
  verb = copy;
}

void BusinessObject::setAppVerb(const char* text) {
  char* copy = text ? vy::copyText(text) : nullptr;
  releaseText(appVerb);
  appVerb = copy;
}

char* BusinessObject::setLocale(const char* newLocale) {
  if (newLocale != nullptr && *newLocale != '\0') {
    char* copy = vy::copyText(newLocale);
    releaseText(locale);
    locale = copy;
  } else if (locale == nullptr) {
    locale = vy::copyText(kDefaultLocale);
  }
  return locale;
}

// ---------------------------------------------------------------------------------------------
// whole-object operations

int BusinessObject::doVerbFor(ReturnStatusDescriptor* status) {
  vy::clearFirstFatal();
  BOHandlerCPP* handler = spec ? spec->getMyBOHandler() : nullptr;
  if (handler == nullptr) {
    if (status != nullptr && status->getErrorMsg() == nullptr) {
      status->seterrMsg(vy::requestRefusal(*this).c_str());
    }
    return -1;
  }
  int result;
  if (delta && isVerb(UPDATE_VERB)) {
    result = handler->doDeltaCheck(this) == 1 ? handler->doVerbFor(*this, status)
                                              : handler->doDeltaWork(*this, status);
  } else {
    result = handler->doVerbFor(*this, status);
  }
  char* fatal = vy::firstFatal();
  if (fatal != nullptr && status != nullptr && status->getErrorMsg() == nullptr) {
    status->seterrMsg(fatal);
    vy::clearFirstFatal();
  }
  return result;
}

int BusinessObject::dump(char* buffer, int size) {
  if (buffer == nullptr) return 0;
  if (size <= 0) return -1;
  const char* name = getName();
  int count = std::snprintf(buffer, size,
                            "\nBusiness Object Dump\nName: %s\nVerb: %s\nLocale: %s\nType: %s\n",
                            name ? name : "NULL", verb ? verb : "NULL", locale ? locale : "unknown",
                            delta == 1 ? "Delta" : "AfterImage");
  if (count < 0 || count >= size) return -1;
  // Appends one piece at the current end; false when it would reach the end of the buffer.
  auto append = [&](int index, const char* name, const char* text) {
    int room = size - count;
    int written = name ? std::snprintf(buffer + count, room, "\nAttr %d: %s = ", index, name)
                       : std::snprintf(buffer + count, room, "%s", text);
    if (written < 0 || written >= room) return false;
    count += written;
    return true;
  };
  auto dumpChild = [&](BusinessObject* child) {
    int room = size - count;
    int written = child->dump(buffer + count, room);
    if (written < 1 || written > room) return false;
    count += written;
    return true;
  };
  int attrCount = getAttrCount();
  for (int i = 0; i < attrCount && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    if (attr->isObjectType()) {
      if (!forEachChildAt(i, [&](BusinessObject* child, int) { return dumpChild(child); })) {
        return -1;
      }
      continue;
    }
    if (!vy::wire::isSimpleType(attr->getTypeNum())) continue;
    const char* attrName = attr->getName();
    if (!append(i, attrName ? attrName : "", nullptr)) return -1;
    const char* value = static_cast<const char*>(values[i]);
    const char* shown = value == nullptr ? "-- KyIgnore --"
                        : *value == '\0' ? "-- Blank --"
                                         : value;
    if (!append(0, nullptr, shown)) return -1;
  }
  return count;
}

BusinessObject* BusinessObject::copyOf(bool keepDeltaFlags) {
  BusinessObject* copy = new BusinessObject(spec);
  if (verb != nullptr) copy->verb = vy::copyText(verb);
  if (keepDeltaFlags) copy->delta = delta;
  if (values != nullptr && copy->values != nullptr) copy->copyValuesFrom(values, keepDeltaFlags);
  return copy;
}

BusinessObject* BusinessObject::clone() {
  BusinessObject* copy = copyOf(true);
  if (copy->verb != nullptr && std::strcmp(copy->verb, "null") == 0) {
    std::free(copy->verb);
    copy->verb = nullptr;
  }
  copy->delta = delta;
  return copy;
}

void BusinessObject::copyValuesFrom(void** source, bool keepDeltaFlags) {
  int count = getAttrCount();
  for (int i = 0; i < count; ++i) {
    void* value = source[i];
    if (value == nullptr) continue;
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    int type = attr->getTypeNum();
    if (value == BlankValue || vy::wire::isSimpleType(type)) {
      storeSlot(values, spec, this, i, value, type);
      continue;
    }
    if (type != 0) continue;
    if (!attr->isMultipleCard()) {
      BusinessObject* copy = static_cast<BusinessObject*>(value)->copyOf(keepDeltaFlags);
      replaceChild(i, copy);
      continue;
    }
    BusObjContainer* from = static_cast<BusObjContainer*>(value);
    // A clone carries no empty containers (they are not told apart from none on the wire).
    if (keepDeltaFlags && from->getObjectCount() == 0) continue;
    BusObjContainer* to = new BusObjContainer(from->getTheSpec());
    if (keepDeltaFlags) to->setDelta(from->isDelta());
    for (int k = 0; k < from->getObjectCount(); ++k) {
      BusinessObject* child = from->getObject(k);
      if (child == nullptr) continue;
      BusinessObject* copy = child->copyOf(keepDeltaFlags);
      copy->parent = this;
      to->insertObject(copy);
    }
    // The new container is complete before the old one goes: source may be this object's own
    // value array.
    void* previous = values[i];
    values[i] = to;
    if (previous != nullptr && previous != BlankValue) {
      delete static_cast<BusObjContainer*>(previous);
    }
  }
}

void BusinessObject::setAttrValues(void** source) {
  if (source == nullptr || values == nullptr) return;
  copyValuesFrom(source, false);
}

int BusinessObject::copy(BusinessObject& target) {
  if (values != nullptr && target.values != nullptr && target.getAttrCount() == getAttrCount()) {
    target.setAttrValues(values);
  }
  target.setDelta(isDelta());
  return 1;
}

int BusinessObject::equalsContent(BusinessObject* other) {
  if (other == nullptr) return -1;
  int count = getAttrCount();
  if (values == nullptr || other->values == nullptr) {
    return values == other->values ? 0 : -1;
  }
  if (other->getAttrCount() < count) return -1;
  for (int i = 0; i < count - 1; ++i) {
    void* mine = values[i];
    void* theirs = other->values[i];
    if (mine == nullptr || theirs == nullptr) continue;
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    int type = attr->getTypeNum();
    if (vy::wire::isSimpleType(type)) {
      if (std::strcmp(static_cast<char*>(mine), static_cast<char*>(theirs)) != 0) return -1;
      continue;
    }
    if (type != 0 || mine == BlankValue || theirs == BlankValue) continue;
    if (attr->isMultipleCard()) {
      if (static_cast<BusObjContainer*>(mine)->equals(static_cast<BusObjContainer*>(theirs)) != 0) {
        return -1;
      }
    } else if (static_cast<BusinessObject*>(mine)->equalsContent(
                   static_cast<BusinessObject*>(theirs)) != 0) {
      return -1;
    }
  }
  return 0;
}

int BusinessObject::equalPKeys(BusinessObject* other) {
  if (other == nullptr || spec == nullptr || values == nullptr) return 0;
  int count = getAttrCount();
  for (int i = 0; i < count; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr || !attr->isKey() || !vy::wire::isSimpleType(attr->getTypeNum())) continue;
    if (other->values == nullptr || i >= other->getAttrCount()) return 0;
    const char* mine = static_cast<const char*>(values[i]);
    const char* theirs = static_cast<const char*>(other->values[i]);
    if (mine == nullptr || theirs == nullptr) return 0;
    if (std::strcmp(mine, theirs) != 0) return 0;
  }
  return 1;
}

void BusinessObject::setDefaultAttrValues() {
  int count = getAttrCount();
  for (int i = 0; i < count && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    if (attr->isObjectType()) {
      if (attr->isMultipleCard() && containerAt(i) == nullptr) {
        const char* typeName = attr->getTypeName();
        BusObjSpec* childSpec =
            typeName ? BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(typeName) : nullptr;
        values[i] = new BusObjContainer(childSpec);  // the slot held nothing or the blank marker
      }
      forEachChildAt(i, [](BusinessObject* child, int) {
        child->setDefaultAttrValues();
        return true;
      });
      continue;
    }
    const char* value = attr->getDefault();
    if (vy::wire::isSimpleType(attr->getTypeNum()) && value != nullptr && *value != '\0') {
      setAttrValue(i, value, attr->getTypeNum());
    }
  }
}

void BusinessObject::setDefaultAttrValues(int count, unsigned int flag) {
  if (!isVerb(CREATE_VERB)) return;
  defaultTree(count, flag, 0);
}

void BusinessObject::defaultTree(int count, unsigned int flag, int depth) {
  int attrCount = getAttrCount();
  for (int i = 0; i < attrCount && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    int type = attr->getTypeNum();
    if (attr->isObjectType()) {
      int children = attr->isMultipleCard() ? count : 1;
      for (int k = 0; k < children; ++k) {
        BusinessObject* child = static_cast<BusinessObject*>(makeNewAttrObject(i));
        if (child == nullptr) break;
        // A type that is already on the path to the root would repeat forever.
        bool cycle = child->spec == nullptr;
        for (BusinessObject* up = this; up != nullptr && !cycle; up = up->parent) {
          cycle = up->spec == child->spec;
        }
        if (cycle) {
          delete child;
          break;
        }
        child->parent = this;
        child->setVerb(verb);
        if (child->isVerb(CREATE_VERB)) child->defaultTree(count, flag, depth + 1);
        if (attr->isMultipleCard()) {
          setAttrValue(i, child, 0);
        } else {
          replaceChild(i, child);
        }
      }
      continue;
    }
    if (!vy::wire::isSimpleType(type)) continue;
    if (attr->isKey()) {
      setAttrValue(i, decimal(std::rand()).c_str(), type);
    } else if (attr->getDefault() != nullptr && *attr->getDefault() != '\0') {
      setAttrValue(i, attr->getDefault(), type);
    }
  }
}

void BusinessObject::updateRandomizedKeyValues() {
  if (!isVerb(CREATE_VERB)) return;
  int count = getAttrCount();
  for (int i = 0; i < count && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    if (attr->isObjectType()) {
      forEachChildAt(i, [](BusinessObject* child, int) {
        child->updateRandomizedKeyValues();
        return true;
      });
    } else if (attr->isKey() && vy::wire::isSimpleType(attr->getTypeNum())) {
      setAttrValue(i, decimal(std::rand()).c_str(), attr->getTypeNum());
    }
  }
}

int BusinessObject::initAndValidateAttributes() {
  char useDefaults[8] = "";
  vy::agentPort().configProp("UseDefaults", useDefaults, sizeof useDefaults);
  return validate(strcasecmp(useDefaults, "false") != 0);
}

int BusinessObject::validate(bool useDefaults) {
  int count = getAttrCount();
  for (int i = 0; i < count - 1 && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    int type = attr->getTypeNum();
    if (values[i] != nullptr) {
      if (!attr->isObjectType()) continue;
      if (!forEachChildAt(i, [useDefaults](BusinessObject* child, int) {
            return child->validate(useDefaults);
          })) {
        return 0;
      }
      continue;
    }
    if (!attr->isRequired() || !vy::wire::isSimpleType(type)) continue;
    if (!useDefaults) {
      logKyMsg(kMsgRequiredNoDefaults, KyMsgFormat::MLV_ERROR, getName(), attr->getName());
      return 0;
    }
    const char* fallback = attr->getDefault();
    if (fallback == nullptr || *fallback == '\0') {
      logKyMsg(kMsgRequiredNoDefault, KyMsgFormat::MLV_ERROR, getName(), attr->getName());
      return 0;
    }
    setAttrValue(i, fallback, type);
  }
  return 1;
}

void BusinessObject::setObjectEventIds() { setObjectEventIdValues(0); }

void BusinessObject::setObjectEventIdValues(int index) {
  // Read at most once per call, into this call's own buffer (requests run on several threads at
  // once), and only when an id has to be made: an event whose objects carry their ids asks the
  // agent nothing.
  std::string connectorName;
  bool nameRead = false;
  auto name = [&connectorName, &nameRead]() -> const char* {
    if (!nameRead) {
      char buffer[kConnectorNameSize] = "";
      vy::agentPort().configProp("ConnectorName", buffer, sizeof buffer);
      connectorName = buffer;
      nameRead = true;
    }
    return connectorName.c_str();
  };
  makeEventIds(index, name);
}

template <class Name>
void BusinessObject::makeEventIds(int index, Name& connectorName) {
  int idIndex = (spec != nullptr && values != nullptr) ? spec->getAttributeIndex(kEventIdAttr) : -1;
  BOAttrType* idAttr = idIndex >= 0 ? spec->getAttribute(idIndex) : nullptr;
  if (idAttr != nullptr && vy::wire::isSimpleType(idAttr->getTypeNum()) &&
      (values[idIndex] == nullptr || isBlankValue(values[idIndex]))) {
    const char* parentId = nullptr;
    if (parent != nullptr && parent->spec != nullptr && parent->values != nullptr) {
      int at = parent->spec->getAttributeIndex(kEventIdAttr);
      if (at >= 0) parentId = static_cast<const char*>(parent->values[at]);
    }
    char tail[96];
    long now = static_cast<long>(std::time(nullptr));
    unsigned long address = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(this));
    std::string id;
    if (parentId != nullptr) {
      std::snprintf(tail, sizeof tail, "_%d_%ld_%lx", index, now, address);
      id = std::string(parentId) + tail;
    } else {
      std::snprintf(tail, sizeof tail, "_%ld_%d_%lx", now, index, address);
      id = std::string(connectorName()) + tail;
    }
    setAttrValue(idIndex, id.c_str(), idAttr->getTypeNum());
  }
  forEachChild([&connectorName](BusinessObject* child, int position) {
    child->makeEventIds(position, connectorName);
    return true;
  });
}
