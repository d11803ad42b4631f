// Delta and after-image processing of BusinessObject: comparing two trees and rewriting one of
// them in place. Children are matched by their key values only; whatever is taken from the other
// tree is cloned, and whatever a clone replaces here is released.
#include "BOAttrType.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "WireText.hpp"

namespace {}  // namespace

void BusinessObject::resetVerb(const char* newVerb) {
  setVerb(newVerb);
  int count = getAttrCount();
  for (int i = 0; i < count && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr || !attr->isObjectType()) continue;
    if (attr->isMultipleCard()) {
      if (BusObjContainer* container = containerAt(i)) container->resetVerbs(newVerb);
    } else if (BusinessObject* child = childAt(i)) {
      child->resetVerb(newVerb);
    }
  }
}

void BusinessObject::createActionObject(BusinessObject* old) {
  if (old == nullptr || old == this || equalPKeys(old) != 1) return;
  int count = getAttrCount();
  if (values == nullptr || old->values == nullptr || old->getAttrCount() != count) return;
  for (int i = 0; i < count; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr || !attr->isObjectType()) continue;
    if (attr->isMultipleCard()) {
      BusObjContainer* mine = containerAt(i);
      BusObjContainer* theirs = old->containerAt(i);
      if (mine != nullptr) {
        if (theirs != nullptr) {
          mine->cmpToFigureOutDeletes(theirs, this, 0);
        } else {
          mine->resetVerbs(CREATE_VERB);
        }
      } else if (theirs != nullptr) {
        for (int k = 0; k < theirs->getObjectCount(); ++k) {
          BusinessObject* child = theirs->getObject(k);
          if (child != nullptr) setAttributeValue(i, child->clone(), 0);
        }
        if (BusObjContainer* filled = containerAt(i)) filled->resetVerbs(DELETE_VERB);
      }
    } else {
      BusinessObject* mine = childAt(i);
      BusinessObject* theirs = old->childAt(i);
      if (mine != nullptr && theirs != nullptr) {
        mine->createActionObject(theirs);
      } else if (mine != nullptr) {
        mine->resetVerb(CREATE_VERB);
      } else if (theirs != nullptr) {
        BusinessObject* copy = theirs->clone();
        replaceChild(i, copy);
        copy->resetVerb(DELETE_VERB);
      }
    }
  }
}

void BusinessObject::actionObjectMethod(BusinessObject* old) { createActionObject(old); }

template <class ObjectAttr>
int BusinessObject::mergeDelta(BusinessObject* deltaObject, ObjectAttr objectAttr) {
  int count = getAttrCount();
  if (values == nullptr || deltaObject->values == nullptr || deltaObject->getAttrCount() != count) {
    return -1;
  }
  setVerb(UPDATE_VERB);
  for (int i = 0; i < count; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    int type = attr->getTypeNum();
    if (vy::wire::isSimpleType(type)) {
      void* change = deltaObject->values[i];
      if (change != nullptr) setAttributeValue(i, change, type);
      continue;
    }
    if (type == 0) objectAttr(i, attr);
  }
  return 0;
}

int BusinessObject::createActionObjectFromDelta(BusinessObject* deltaObject) {
  if (deltaObject == nullptr || deltaObject == this || equalPKeys(deltaObject) != 1) return -1;
  return mergeDelta(deltaObject, [&](int i, BOAttrType* attr) {
    if (!attr->isMultipleCard()) {
      BusinessObject* change = deltaObject->childAt(i);
      if (change == nullptr) return;
      BusinessObject* mine = childAt(i);
      if (mine == nullptr || mine->equalPKeys(change) != 1 || change->isVerb(DELETE_VERB)) {
        replaceChild(i, change->clone());
      } else if (!change->isDelta()) {
        BusinessObject* marked = change->clone();
        marked->createActionObject(mine);
        replaceChild(i, marked);
      } else {
        mine->createActionObjectFromDelta(change);
      }
      return;
    }
    BusObjContainer* changes = deltaObject->containerAt(i);
    if (changes == nullptr) return;
    BusObjContainer* mine = containerAt(i);
    if (mine == nullptr) {
      for (int k = 0; k < changes->getObjectCount(); ++k) {
        BusinessObject* child = changes->getObject(k);
        if (child != nullptr) setAttributeValue(i, child->clone(), 0);
      }
    } else if (changes->isDelta()) {
      mine->actualCmpDeltaAndAfterImage(changes, this);
    } else {
      mine->cmpToFigureOutDeletes(changes, this, 1);
    }
  });
}

int BusinessObject::createAfterImageFromDelta(BusinessObject* deltaObject) {
  if (deltaObject == nullptr || deltaObject == this) return 0;
  return mergeDelta(deltaObject, [&](int i, BOAttrType* attr) {
    if (!attr->isMultipleCard()) {
      BusinessObject* change = deltaObject->childAt(i);
      if (change == nullptr) return;
      BusinessObject* mine = childAt(i);
      if (mine == nullptr || mine->equalPKeys(change) != 1 || change->isVerb(DELETE_VERB) ||
          !change->isDelta()) {
        replaceChild(i, change->clone());
      } else {
        mine->createAfterImageFromDelta(change);
        replaceChild(i, mine);  // stored again: the same child is kept, not released
      }
      return;
    }
    BusObjContainer* changes = deltaObject->containerAt(i);
    if (changes == nullptr) return;
    BusObjContainer* mine = containerAt(i);
    if (mine != nullptr && changes->isDelta()) {
      mine->makeDeltaIntoAfterImage(changes, this);
      return;
    }
    if (mine != nullptr) mine->removeAllObjects();
    for (int k = 0; k < changes->getObjectCount(); ++k) {
      BusinessObject* child = changes->getObject(k);
      if (child != nullptr) setAttributeValue(i, child->clone(), 0);
    }
  });
}
