#include "ObjectStore.hpp"

#include <cstring>
#include <memory>

#include "BOAttrType.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "Schema.hpp"
#include "SqliteConnection.hpp"
#include "SqliteError.hpp"
#include "TableMapping.hpp"

namespace {

// Generated keys that collide with rows written by someone else are skipped; this many times
// at most, which only a table full of hand-written numeric keys could exhaust.
const int KEY_ATTEMPTS = 1000;

bool isVerb(BusinessObject& obj, const char* verb) {
  return obj.getVerb() != nullptr && std::strcmp(obj.getVerb(), verb) == 0;
}

// The child in a single-cardinality slot, or null (empty slot or the blank marker).
BusinessObject* singleChild(BusinessObject* obj, int index) {
  if (obj == nullptr) return nullptr;
  void* v = obj->getAttrValue(index);
  if (v == nullptr || v == BusinessObject::BlankValue) return nullptr;
  return static_cast<BusinessObject*>(v);
}

BusObjContainer* containerOf(BusinessObject* obj, int index) {
  if (obj == nullptr) return nullptr;
  void* v = obj->getAttrValue(index);
  if (v == nullptr || v == BusinessObject::BlankValue) return nullptr;
  return static_cast<BusObjContainer*>(v);
}

bool hasValue(BusinessObject& obj, int index) {
  return !obj.isIgnore(index) && !obj.isBlank(index);
}

void bindLink(Statement& st, int first, const std::string& type, const std::string& attr,
              const std::string& key) {
  st.bindText(first, type);
  st.bindText(first + 1, attr);
  st.bindText(first + 2, key);
}

// The value of a simple slot as it is stored: NULL for ignore, '' for blank, else the text.
void bindValue(Statement& st, int index, BusinessObject& obj, int attr) {
  void* v = obj.getAttrValue(attr);
  if (v == nullptr) {
    st.bindText(index, static_cast<const char*>(nullptr));
  } else if (BusinessObject::isBlankValue(v)) {
    st.bindText(index, std::string());
  } else {
    st.bindText(index, static_cast<const char*>(v));
  }
}

// createActionObject marks children with verbs their own specs must accept; a spec without them
// would leave children unmarked and deletions unnoticed.
void requireActionVerbs(BusObjSpec* spec, std::vector<BusObjSpec*>* seen) {
  for (BusObjSpec* s : *seen) {
    if (s == spec) return;
  }
  seen->push_back(spec);
  for (int a = 0; a < spec->getAttributeCount(); a++) {
    if (!spec->getAttribute(a)->isObjectType()) continue;
    BusObjSpec* child = Schema::childSpec(spec, a);
    for (const char* verb :
         {BusinessObject::CREATE_VERB, BusinessObject::UPDATE_VERB, BusinessObject::DELETE_VERB}) {
      if (!child->isVerbSupported(verb)) {
        throw SqliteError(std::string("the child type ") + child->getName() +
                          " must support the verb " + verb + " for an Update of its parent");
      }
    }
    requireActionVerbs(child, seen);
  }
}

}  // namespace

std::vector<std::string> ObjectStore::keyValues(BusinessObject& bo, const TableMapping& mapping) {
  if (!mapping.hasKeys()) {
    throw SqliteError("the type has no key attributes, so its objects cannot be found");
  }
  std::vector<std::string> keys;
  for (int k : mapping.keyAttrs()) {
    if (!hasValue(bo, k)) {
      throw SqliteError(std::string("the key attribute ") + bo.getAttrName(k) + " has no value");
    }
    keys.push_back(static_cast<const char*>(bo.getAttrValue(k)));
  }
  return keys;
}

// ---- create ----

void ObjectStore::create(BusinessObject& bo) {
  schema.ensure(connection, bo.getTheSpec());
  insertTree(bo, Link());
}

std::string ObjectStore::nextKey(const TableMapping& mapping, int attrIndex) {
  Statement st = connection.prepare(
      "INSERT INTO vy_key_sequence (name, last) VALUES (?1, 1) ON CONFLICT (name) DO UPDATE"
      " SET last = last + 1 RETURNING last");
  st.bindText(1, mapping.typeName() + "." + mapping.spec()->getAttribute(attrIndex)->getName());
  if (!st.step()) throw SqliteError("the key sequence returned no value");
  return std::to_string(st.integer(0));
}

std::string ObjectStore::insertTree(BusinessObject& obj, const Link& link) {
  const TableMapping& m = schema.mappingFor(obj.getTheSpec());
  std::vector<int> generated;
  for (int k : m.keyAttrs()) {
    if (!hasValue(obj, k)) generated.push_back(k);
  }
  std::string identity;
  for (int attempt = 0;; attempt++) {
    for (int k : generated) {
      obj.setAttrValue(k, nextKey(m, k).c_str(), obj.getAttrType(k));
    }
    Statement st = connection.prepare(m.insertSql());
    bindLink(st, 1, link.parentType, link.parentAttr, link.parentKey);
    st.bindInt(4, link.position);
    st.bindText(5, link.rootType);
    st.bindText(6, link.rootKey);
    int param = 7;
    for (int i : m.simpleAttrs()) bindValue(st, param++, obj, i);
    try {
      if (!st.step()) throw SqliteError("the insert returned no row");
      identity = st.text(0);
      break;
    } catch (const SqliteError& e) {
      // A generated key taken by a row written outside the connector: draw the next one.
      if (generated.empty() || e.code() != SQLITE_CONSTRAINT_PRIMARYKEY ||
          attempt + 1 >= KEY_ATTEMPTS) {
        throw;
      }
    }
  }
  Link child;
  child.parentType = m.typeName();
  child.parentKey = identity;
  child.rootType = link.rootType.empty() ? m.typeName() : link.rootType;
  child.rootKey = link.rootType.empty() ? identity : link.rootKey;
  for (int a : m.objectAttrs()) {
    child.parentAttr = obj.getAttrName(a);
    if (obj.getAttrDesc(a)->isMultipleCard()) {
      BusObjContainer* c = containerOf(&obj, a);
      if (c == nullptr) continue;
      long long position = 0;
      for (int i = 0; i < c->getObjectCount(); i++) {
        BusinessObject* o = c->getObject(i);
        if (o == nullptr) continue;
        child.position = position++;
        insertTree(*o, child);
      }
    } else if (BusinessObject* o = singleChild(&obj, a)) {
      child.position = 0;
      insertTree(*o, child);
    }
  }
  return identity;
}

// ---- retrieve ----

bool ObjectStore::readTop(const TableMapping& m, const std::vector<std::string>& keys, Row* row) {
  Statement st = connection.prepare(m.selectTopSql());
  for (size_t k = 0; k < keys.size(); k++) st.bindText(static_cast<int>(k) + 1, keys[k]);
  if (!st.step()) return false;
  row->identity = st.text(0);
  for (size_t i = 0; i < m.simpleAttrs().size(); i++) {
    row->present.push_back(!st.isNull(static_cast<int>(i) + 1));
    row->values.push_back(st.text(static_cast<int>(i) + 1));
  }
  return true;
}

std::vector<ObjectStore::Row> ObjectStore::readChildren(const TableMapping& m, const Link& link) {
  // Read whole before anyone recurses: a type that contains itself uses the same statement.
  std::vector<Row> rows;
  Statement st = connection.prepare(m.selectChildrenSql());
  bindLink(st, 1, link.parentType, link.parentAttr, link.parentKey);
  while (st.step()) {
    Row row;
    row.identity = st.text(0);
    for (size_t i = 0; i < m.simpleAttrs().size(); i++) {
      row.present.push_back(!st.isNull(static_cast<int>(i) + 1));
      row.values.push_back(st.text(static_cast<int>(i) + 1));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void ObjectStore::fill(BusinessObject& obj, const TableMapping& m, const Row& row) {
  for (size_t k = 0; k < m.simpleAttrs().size(); k++) {
    int i = m.simpleAttrs()[k];
    int type = obj.getAttrType(i);
    if (!row.present[k]) {
      obj.setAttrValue(i, BusinessObject::IgnoreValue, type);
    } else if (row.values[k].empty()) {
      obj.setAttrValue(i, BusinessObject::BlankValue, type);
    } else {
      obj.setAttrValue(i, row.values[k].c_str(), type);
    }
  }
}

void ObjectStore::loadChildren(BusinessObject& obj, const TableMapping& m,
                               const std::string& identity) {
  Link link;
  link.parentType = m.typeName();
  link.parentKey = identity;
  for (int a : m.objectAttrs()) {
    obj.freeValue(a);
    link.parentAttr = obj.getAttrName(a);
    const TableMapping& cm = schema.mappingFor(Schema::childSpec(m.spec(), a));
    const bool multiple = obj.getAttrDesc(a)->isMultipleCard();
    for (const Row& row : readChildren(cm, link)) {
      std::unique_ptr<BusinessObject> child(static_cast<BusinessObject*>(obj.makeNewAttrObject(a)));
      if (child == nullptr || child->getTheSpec() == nullptr) {
        throw SqliteError(std::string("cannot make a child object for ") + obj.getAttrName(a));
      }
      fill(*child, cm, row);
      loadChildren(*child, cm, row.identity);
      if (obj.setAttrValue(a, child.get(), BOAttrType::OBJECT) != 1) {
        throw SqliteError(std::string("cannot store a child object in ") + obj.getAttrName(a));
      }
      child.release();
      if (!multiple) break;
    }
  }
}

bool ObjectStore::retrieve(BusinessObject& bo) {
  const TableMapping& m = schema.ensure(connection, bo.getTheSpec());
  Row row;
  if (!readTop(m, keyValues(bo, m), &row)) return false;
  fill(bo, m, row);
  loadChildren(bo, m, row.identity);
  return true;
}

// ---- delete ----

void ObjectStore::deleteChildren(const TableMapping& m, const std::string& identity) {
  Link link;
  link.parentType = m.typeName();
  link.parentKey = identity;
  for (int a : m.objectAttrs()) {
    link.parentAttr = m.spec()->getAttribute(a)->getName();
    const TableMapping& cm = schema.mappingFor(Schema::childSpec(m.spec(), a));
    if (!cm.objectAttrs().empty()) {
      for (const Row& row : readChildren(cm, link)) deleteChildren(cm, row.identity);
    }
    Statement st = connection.prepare(cm.deleteChildrenSql());
    bindLink(st, 1, link.parentType, link.parentAttr, link.parentKey);
    st.run();
  }
}

void ObjectStore::deleteChild(const TableMapping& cm, const Link& link, BusinessObject& child) {
  std::vector<std::string> keys = keyValues(child, cm);
  std::string identity;
  {
    Statement st = connection.prepare(cm.selectChildSql());
    bindLink(st, 1, link.parentType, link.parentAttr, link.parentKey);
    for (size_t k = 0; k < keys.size(); k++) st.bindText(static_cast<int>(k) + 4, keys[k]);
    if (!st.step()) return;  // already gone
    identity = st.text(0);
  }
  {
    Statement st = connection.prepare(cm.deleteChildSql());
    bindLink(st, 1, link.parentType, link.parentAttr, link.parentKey);
    for (size_t k = 0; k < keys.size(); k++) st.bindText(static_cast<int>(k) + 4, keys[k]);
    st.run();
  }
  deleteChildren(cm, identity);
}

bool ObjectStore::remove(BusinessObject& bo) {
  const TableMapping& m = schema.ensure(connection, bo.getTheSpec());
  std::vector<std::string> keys = keyValues(bo, m);
  Row row;
  if (!readTop(m, keys, &row)) return false;
  // The top-level row first: its "Delete" event then covers the children's removal.
  {
    Statement st = connection.prepare(m.deleteTopSql());
    for (size_t k = 0; k < keys.size(); k++) st.bindText(static_cast<int>(k) + 1, keys[k]);
    st.run();
  }
  deleteChildren(m, row.identity);
  return true;
}

// ---- update ----

std::string ObjectStore::updateRow(BusinessObject& obj, const TableMapping& m, const Link& link) {
  std::vector<int> attrs;
  for (int i : m.simpleAttrs()) {
    if (!m.spec()->getAttribute(i)->isKey() && !obj.isIgnore(i)) attrs.push_back(i);
  }
  std::vector<std::string> keys = keyValues(obj, m);
  Statement st = connection.prepare(m.updateSql(attrs));
  int param = 1;
  for (int i : attrs) bindValue(st, param++, obj, i);
  st.bindInt(param++, link.position);
  bindLink(st, param, link.parentType, link.parentAttr, link.parentKey);
  param += 3;
  for (const std::string& k : keys) st.bindText(param++, k);
  if (!st.step()) return std::string();
  return st.text(0);
}

void ObjectStore::replaceKeylessChildren(BusinessObject& obj, int a, const TableMapping& cm,
                                         const Link& link) {
  // Children without keys cannot be matched: the stored ones make way for the new ones.
  if (!cm.objectAttrs().empty()) {
    for (const Row& row : readChildren(cm, link)) deleteChildren(cm, row.identity);
  }
  {
    Statement st = connection.prepare(cm.deleteChildrenSql());
    bindLink(st, 1, link.parentType, link.parentAttr, link.parentKey);
    st.run();
  }
  Link child = link;
  child.position = 0;
  if (obj.getAttrDesc(a)->isMultipleCard()) {
    BusObjContainer* c = containerOf(&obj, a);
    for (int i = c != nullptr ? c->getObjectCount() - 1 : -1; i >= 0; i--) {
      if (c->getObject(i) == nullptr || isVerb(*c->getObject(i), BusinessObject::DELETE_VERB)) {
        c->removeObjectAt(i);
      }
    }
    for (int i = 0; c != nullptr && i < c->getObjectCount(); i++) {
      child.position = i;
      insertTree(*c->getObject(i), child);
    }
  } else if (BusinessObject* o = singleChild(&obj, a)) {
    if (isVerb(*o, BusinessObject::DELETE_VERB)) {
      obj.freeValue(a);
    } else {
      insertTree(*o, child);
    }
  }
}

void ObjectStore::applyChildren(BusinessObject& obj, const TableMapping& m,
                                const std::string& identity, const Link& root,
                                BusinessObject* old) {
  Link link;
  link.parentType = m.typeName();
  link.parentKey = identity;
  link.rootType = root.rootType;
  link.rootKey = root.rootKey;
  for (int a : m.objectAttrs()) {
    link.parentAttr = obj.getAttrName(a);
    link.position = 0;
    const TableMapping& cm = schema.mappingFor(Schema::childSpec(m.spec(), a));
    if (!cm.hasKeys()) {
      replaceKeylessChildren(obj, a, cm, link);
      continue;
    }
    if (!obj.getAttrDesc(a)->isMultipleCard()) {
      BusinessObject* mine = singleChild(&obj, a);
      BusinessObject* theirs = singleChild(old, a);
      if (mine != nullptr && isVerb(*mine, BusinessObject::DELETE_VERB)) {
        if (theirs != nullptr) deleteChild(cm, link, *theirs);
        obj.freeValue(a);
      } else if (mine != nullptr && theirs != nullptr && mine->equalPKeys(theirs) == 1) {
        std::string childIdentity = updateRow(*mine, cm, link);
        applyChildren(*mine, cm, childIdentity, root, theirs);
      } else if (mine != nullptr) {
        if (theirs != nullptr) deleteChild(cm, link, *theirs);
        insertTree(*mine, link);
      }
      continue;
    }
    BusObjContainer* mine = containerOf(&obj, a);
    BusObjContainer* theirs = containerOf(old, a);
    if (mine == nullptr) continue;
    // The action verbs createActionObject gave the children say what each one needs.
    for (int i = mine->getObjectCount() - 1; i >= 0; i--) {
      BusinessObject* child = mine->getObject(i);
      if (child == nullptr) {
        mine->removeObjectAt(i);
      } else if (isVerb(*child, BusinessObject::DELETE_VERB)) {
        deleteChild(cm, link, *child);
        mine->removeObjectAt(i);
      }
    }
    for (int i = 0; i < mine->getObjectCount(); i++) {
      BusinessObject* child = mine->getObject(i);
      link.position = i;
      int at = theirs != nullptr && !isVerb(*child, BusinessObject::CREATE_VERB)
                   ? theirs->objectExists(child)
                   : -1;
      std::string childIdentity = at >= 0 ? updateRow(*child, cm, link) : std::string();
      if (childIdentity.empty()) {
        insertTree(*child, link);
      } else {
        applyChildren(*child, cm, childIdentity, root, theirs->getObject(at));
      }
    }
  }
}

bool ObjectStore::update(BusinessObject& bo) {
  const TableMapping& m = schema.ensure(connection, bo.getTheSpec());
  std::vector<BusObjSpec*> seen;
  requireActionVerbs(bo.getTheSpec(), &seen);
  std::vector<std::string> keys = keyValues(bo, m);
  Row row;
  if (!readTop(m, keys, &row)) return false;
  std::unique_ptr<BusinessObject> old(new BusinessObject(bo.getName()));
  if (old->getTheSpec() == nullptr) throw SqliteError("cannot make an object of the type");
  fill(*old, m, row);
  loadChildren(*old, m, row.identity);
  // Children only in bo become "Create", only in the stored tree are copied in as "Delete",
  // in both "Update", all the way down.
  bo.createActionObject(old.get());
  Link top;
  updateRow(bo, m, top);
  top.rootType = m.typeName();
  top.rootKey = row.identity;
  applyChildren(bo, m, row.identity, top, old.get());
  return true;
}
