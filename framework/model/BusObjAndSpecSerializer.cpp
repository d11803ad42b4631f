#include "BusObjAndSpecSerializer.hpp"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusObjSpecList.hpp"
#include "BusinessObject.hpp"
#include "StringHash.hpp"
#include "StringMessage.hpp"
#include "WireText.hpp"

const char* const BusObjAndSpecSerializer::BUSOBJANDSPEC = "BusObjAndSpec";
const char* const BusObjAndSpecSerializer::specialDelimiter = "\x04";

namespace {

const char kSpecMarker[] = "BusObjSpec";

// Each thread gathers specs in a list of its own, so packings on different threads never share
// one. Not owned here: whoever started the list releases it.
thread_local BusObjSpecList* currentList = nullptr;

// Appends one field and tells whether it really went in: a text the converter refuses is
// reported to the agent and left out, which would silently shift every later field.
bool appendChecked(StringMessage& message, const char* text) {
  if (text == nullptr) return false;
  int before = message.getCurrentUTF16Size();
  message.appendField(text);
  return message.getCurrentUTF16Size() > before;
}

// Appends the native text of `message` as one field; false when it cannot be rendered.
bool appendMessage(StringMessage& packed, StringMessage* message) {
  std::unique_ptr<StringMessage> owned(message);
  return owned != nullptr && appendChecked(packed, owned->toString());
}

// True when the message's first field is `marker`; the message is rewound either way.
bool startsWith(StringMessage& message, const char* marker) {
  const char* first = message.nextToken();
  bool match = first != nullptr && std::strcmp(first, marker) == 0;
  message.initTokenizer();
  return match;
}

// Parses one packed spec field. Null when it is not a complete, well-formed spec text.
std::unique_ptr<BusObjSpec> parseSpec(const char* text) {
  StringMessage message(text);
  if (!startsWith(message, kSpecMarker)) return nullptr;
  auto spec = std::make_unique<BusObjSpec>(message);
  if (spec->getParseError() != nullptr || spec->getName() == nullptr ||
      spec->getName()[0] == '\0') {
    return nullptr;
  }
  return spec;
}

// The specs of a list, collected before the list is changed (its cursor would be disturbed).
std::vector<BusObjSpec*> specsOf(BusObjSpecList& list) {
  std::vector<BusObjSpec*> specs;
  for (BusObjSpec* spec = list.firstValue(); spec != nullptr; spec = list.nextValue()) {
    specs.push_back(spec);
  }
  return specs;
}

}  // namespace

char* BusObjAndSpecSerializer::serialize(BusinessObject* bo) { return pack(bo, false); }

char* BusObjAndSpecSerializer::serializeParentSpecAndKeys(BusinessObject* bo) {
  return pack(bo, true);
}

BusinessObject* BusObjAndSpecSerializer::deSerialize(const char* text) {
  return unpack(text, nullptr, false);
}

BusinessObject* BusObjAndSpecSerializer::deSerializeParentSpecAndKeys(const char* text) {
  return unpack(text, specialDelimiter, true);
}

char* BusObjAndSpecSerializer::pack(BusinessObject* bo, bool parentAndKeys) {
  // An object without spec could not be read back anywhere.
  if (bo == nullptr || bo->getTheSpec() == nullptr) return nullptr;

  // The specs first: they belong to the directory and outlive the list, which is released at
  // once so that no early return can leave it behind.
  std::vector<BusObjSpec*> specs;
  if (parentAndKeys) {
    specs.push_back(bo->getTheSpec());
  } else {
    BusObjSpecList* list = getAllSpecsForBO(bo);
    specs = specsOf(*list);
    releaseSpecList(list);
  }

  StringMessage packed;
  if (parentAndKeys) packed.setDelimiter(specialDelimiter);
  if (!appendChecked(packed, BUSOBJANDSPEC)) return nullptr;
  // The object's whole message is one field: its length prefix covers the inner delimiters.
  if (!appendMessage(packed,
                     parentAndKeys ? bo->toStringMessageParentAndKeys() : bo->toStringMessage())) {
    return nullptr;
  }
  for (BusObjSpec* spec : specs) {
    if (!appendMessage(packed, spec->toStringMessage())) return nullptr;
  }

  const char* text = packed.toString();
  if (text == nullptr) return nullptr;
  size_t size = static_cast<size_t>(packed.getCurrentSize());
  char* copy = static_cast<char*>(std::malloc(size + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, size);
  copy[size] = '\0';
  return copy;
}

BusinessObject* BusObjAndSpecSerializer::unpack(const char* text, const char* delimiter,
                                                bool parentAndKeys) {
  if (text == nullptr) return nullptr;
  std::unique_ptr<StringMessage> outer = delimiter != nullptr
                                             ? std::make_unique<StringMessage>(text, delimiter)
                                             : std::make_unique<StringMessage>(text);
  const char* marker = outer->nextToken();
  if (marker == nullptr || std::strcmp(marker, BUSOBJANDSPEC) != 0) return nullptr;
  const char* objectText = outer->nextToken();
  if (objectText == nullptr) return nullptr;

  // Everything is checked before anything is filed: a text refused for any reason leaves the
  // directory exactly as it was.
  StringMessage objectMessage(objectText);
  if (!startsWith(objectMessage, vy::wire::kObjectMarker)) return nullptr;

  std::vector<std::unique_ptr<BusObjSpec>> specs;
  while (outer->hasMoreTokens()) {
    if (specs.size() >= static_cast<size_t>(MAX_SPEC_FIELDS)) return nullptr;
    std::unique_ptr<BusObjSpec> spec = parseSpec(outer->nextToken());
    if (spec == nullptr) return nullptr;
    specs.push_back(std::move(spec));
  }
  if (parentAndKeys && specs.size() != 1) return nullptr;

  // A spec the directory already knows is kept (objects in this process may be using it); the
  // packed copy is dropped. A name packed twice is filed once, the first copy winning.
  BusObjSpecDirectory* directory = BusObjSpecDirectory::getTheBusObjSpecDirectory();
  for (std::unique_ptr<BusObjSpec>& spec : specs) {
    if (directory->find(spec->getName(), *spec->getVersion()) != nullptr) continue;
    directory->insert(*spec.release());
  }

  return new BusinessObject(objectMessage);
}

BusObjSpecList* BusObjAndSpecSerializer::getAllSpecsForBO(BusinessObject* bo) {
  // The list a previous call returned is its caller's; it is replaced, not freed.
  currentList = new BusObjSpecList();
  // The object's own spec describes its values, even if the directory has since filed a newer
  // spec under that name.
  if (bo != nullptr) populateAllSpecs(bo->getTheSpec());
  return currentList;
}

void BusObjAndSpecSerializer::populateAllSpecs(BusObjSpec* spec) {
  if (spec == nullptr) return;
  if (currentList == nullptr) currentList = new BusObjSpecList();
  BusObjSpecList& list = *currentList;

  // Depth first with an explicit stack, so a long chain of types cannot exhaust the native
  // stack. A name already gathered ends its branch, which also ends cycles.
  std::vector<BusObjSpec*> pending{spec};
  while (!pending.empty()) {
    BusObjSpec* next = pending.back();
    pending.pop_back();
    const char* name = next->getName();
    if (name == nullptr || list.find(name) != nullptr) continue;
    list.insert(*next);
    for (int i = next->getAttributeCount() - 1; i >= 0; --i) {
      BOAttrType* attr = next->getAttribute(i);
      if (attr == nullptr || !attr->isObjectType() || attr->getTypeName() == nullptr) continue;
      // The newest spec of the attribute's type, found the way a new child would find it (and
      // reported the same way when there is none). The locale is given so that no agent
      // call is needed for an object that only lives for the lookup.
      BusinessObject probe(attr->getTypeName(), "en_US");
      BusObjSpec* child = probe.getTheSpec();
      if (child != nullptr && list.find(child->getName()) == nullptr) pending.push_back(child);
    }
  }
}

BusObjSpecList* BusObjAndSpecSerializer::getAllSpecs() { return currentList; }

void BusObjAndSpecSerializer::releaseSpecList(BusObjSpecList* list) {
  if (list == nullptr) return;
  if (currentList == list) currentList = nullptr;
  for (BusObjSpec* spec : specsOf(*list)) list->removeItem(StringHash(spec->getName()));
  // A spec filed under a key other than its name cannot be taken out; keeping the list is
  // better than deleting a spec that belongs to the directory.
  if (list->size() == 0) delete list;
}
