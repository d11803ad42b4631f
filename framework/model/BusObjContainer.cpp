#include "BusObjContainer.hpp"

#include <climits>
#include <cstring>
#include <vector>

#include "BusinessObject.hpp"

BusObjContainer::BusObjContainer(BusObjSpec* s)
    : delta(0), capacity(0), count(0), slots(nullptr), spec(s) {
  initContent();
}

BusObjContainer::~BusObjContainer() { freeContent(); }

void BusObjContainer::initContent() {
  slots = new BusinessObject*[GROWTH]();
  capacity = GROWTH;
  count = 0;
}

void BusObjContainer::freeContent() {
  for (int i = 0; i < count; ++i) delete slots[i];
  delete[] slots;
  slots = nullptr;
  capacity = 0;
  count = 0;
}

void BusObjContainer::removeAllObjects() {
  freeContent();
  initContent();
}

void BusObjContainer::grow(int minCapacity) {
  int newCapacity = capacity;
  while (newCapacity < minCapacity) newCapacity += GROWTH;
  BusinessObject** grown = new BusinessObject*[newCapacity]();
  if (count > 0) std::memcpy(grown, slots, sizeof(BusinessObject*) * count);
  delete[] slots;
  slots = grown;
  capacity = newCapacity;
}

void BusObjContainer::insertObject(BusinessObject* object) {
  if (object == nullptr) return;
  if (count >= capacity) grow(capacity + 1);
  slots[count++] = object;
}

int BusObjContainer::insertObjectAt(int index, BusinessObject* object) {
  if (index < 0 || index > count) return -1;
  if (count >= capacity) grow(capacity + 1);
  std::memmove(slots + index + 1, slots + index, sizeof(BusinessObject*) * (count - index));
  slots[index] = object;
  ++count;
  return 0;
}

int BusObjContainer::setObject(int index, BusinessObject* object) {
  if (index < 0 || index > INT_MAX - GROWTH) return -1;
  if (index >= capacity) grow(index + 1);
  BusinessObject* previous = slots[index];
  slots[index] = object;
  if (index >= count) count = index + 1;
  if (previous != nullptr && previous != object) delete previous;
  return 0;
}

int BusObjContainer::removeObjectAt(int index) {
  if (index < 0 || index >= count) return -1;
  BusinessObject* removed = slots[index];
  std::memmove(slots + index, slots + index + 1, sizeof(BusinessObject*) * (count - index - 1));
  slots[--count] = nullptr;
  delete removed;
  return 0;
}

BusinessObject* BusObjContainer::getObject(int index) const {
  if (index < 0 || index >= count) return nullptr;
  return slots[index];
}

int BusObjContainer::objectExists(BusinessObject* object) const {
  if (object == nullptr) return -1;
  for (int i = 0; i < count; ++i) {
    if (slots[i] != nullptr && slots[i]->equalPKeys(object) == 1) return i;
  }
  return -1;
}

int BusObjContainer::equals(BusObjContainer* other) const {
  if (other == nullptr || other->count != count) return -1;
  for (int i = 0; i < count; ++i) {
    BusinessObject* theirs = other->slots[i];
    if (theirs != nullptr) {
      if (theirs->equalsContent(slots[i]) != 0) return -1;
    } else if (slots[i] != nullptr) {
      return -1;
    }
  }
  return 0;
}

int BusObjContainer::resetVerbs(const char* verb) {
  for (int i = 0; i < count; ++i) {
    if (slots[i] != nullptr) slots[i]->resetVerb(verb);
  }
  return count;
}

// ---------------------------------------------------------------------------------------------
// delta and after-image processing

void BusObjContainer::appendCopyOf(BusinessObject* object, BusinessObject* parent) {
  BusinessObject* copy = object->clone();
  copy->setParent(parent);
  insertObject(copy);
}

void BusObjContainer::cmpToFigureOutDeletes(BusObjContainer* other, BusinessObject* parent,
                                            unsigned int otherIsNew) {
  if (other == nullptr || other == this) return;
  const int mine = count;
  const int theirs = other->count;
  std::vector<int> matchOfTheirs(theirs, -1);
  std::vector<int> matchOfMine(mine, -1);
  for (int i = 0; i < mine; ++i) {
    BusinessObject* child = slots[i];
    if (child == nullptr) continue;
    int j = other->objectExists(child);
    if (j < 0) {
      child->setVerb(otherIsNew ? BusinessObject::DELETE_VERB : BusinessObject::CREATE_VERB);
      continue;
    }
    matchOfTheirs[j] = i;
    matchOfMine[i] = j;
    if (!child->isVerb(BusinessObject::DELETE_VERB)) child->setVerb(BusinessObject::UPDATE_VERB);
    if (otherIsNew) {
      BusinessObject* copy = other->slots[j]->clone();
      copy->setParent(parent);
      setObject(i, copy);
    }
  }
  for (int j = 0; j < theirs; ++j) {
    BusinessObject* child = other->slots[j];
    if (matchOfTheirs[j] >= 0 || child == nullptr) continue;
    BusinessObject* copy = child->clone();
    copy->setVerb(otherIsNew ? BusinessObject::CREATE_VERB : BusinessObject::DELETE_VERB);
    copy->setParent(parent);
    insertObject(copy);
  }
  for (int i = 0; i < mine; ++i) {
    if (matchOfMine[i] >= 0) slots[i]->createActionObject(other->slots[matchOfMine[i]]);
  }
}

void BusObjContainer::appendAsCreate(BusinessObject* change, BusinessObject* parent) {
  if (!change->isVerb(BusinessObject::CREATE_VERB)) change->setVerb(BusinessObject::CREATE_VERB);
  appendCopyOf(change, parent);
}

template <class Apply>
void BusObjContainer::forEachDeltaChild(BusObjContainer* deltaContainer, Apply apply) {
  if (deltaContainer == nullptr || deltaContainer == this) return;
  for (int d = 0; d < deltaContainer->count; ++d) {
    BusinessObject* change = deltaContainer->slots[d];
    if (change != nullptr) apply(change, objectExists(change));
  }
}

void BusObjContainer::actualCmpDeltaAndAfterImage(BusObjContainer* deltaContainer,
                                                  BusinessObject* parent) {
  forEachDeltaChild(deltaContainer, [&](BusinessObject* change, int k) {
    if (k < 0) {
      appendAsCreate(change, parent);
    } else if (change->isVerb(BusinessObject::DELETE_VERB)) {
      BusinessObject* copy = change->clone();
      copy->setParent(parent);
      setObject(k, copy);
    } else if (change->isDelta()) {
      slots[k]->createActionObjectFromDelta(change);
    } else {
      BusinessObject* copy = change->clone();
      copy->createActionObject(slots[k]);
      copy->setParent(parent);
      setObject(k, copy);
    }
  });
}

void BusObjContainer::makeDeltaIntoAfterImage(BusObjContainer* deltaContainer,
                                              BusinessObject* parent) {
  forEachDeltaChild(deltaContainer, [&](BusinessObject* change, int k) {
    if (k >= 0 && change->isVerb(BusinessObject::DELETE_VERB)) {
      removeObjectAt(k);
    } else if (k >= 0 && change->isDelta()) {
      slots[k]->createAfterImageFromDelta(change);
      BusinessObject* copy = slots[k]->clone();
      copy->setParent(parent);
      setObject(k, copy);
    } else if (k >= 0) {
      BusinessObject* copy = change->clone();
      copy->setParent(parent);
      setObject(k, copy);
    } else {
      appendAsCreate(change, parent);
    }
  });
}
