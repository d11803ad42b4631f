#include "ObjectStore.hpp"

#include <memory>

namespace {

// Generated keys that collide with rows written by someone else are skipped; this many times
// at most, which only a table full of hand-written numeric keys could exhaust.
const int kKeyAttempts = 1000;

bool hasValue(BusinessObject& obj, const vy::Attr& a) {
  std::optional<std::string_view> text = vy::text(obj, a);
  return text && !text->empty();
}

bool isDelete(BusinessObject& obj) { return vy::verbOf(obj) == BusinessObject::DELETE_VERB; }

// The child of a single-cardinality attribute, or null.
BusinessObject* singleChild(BusinessObject* obj, const vy::Attr& a) {
  if (obj == nullptr) return nullptr;
  vy::Children children = vy::children(*obj, a);
  return children.empty() ? nullptr : &*children.begin();
}

// The first child of `old` under `a` with the keys of `child`, or null.
BusinessObject* storedTwin(BusinessObject* old, const vy::Attr& a, BusinessObject& child) {
  if (old == nullptr) return nullptr;
  for (BusinessObject& theirs : vy::children(*old, a)) {
    if (theirs.equalPKeys(&child) == 1) return &theirs;
  }
  return nullptr;
}

void bindLink(SqlStatement& st, int first, const std::string& type, const std::string& attr,
              const std::string& key) {
  st.bindText(first, type);
  st.bindText(first + 1, attr);
  st.bindText(first + 2, key);
}

// createActionObject marks children with verbs their own specs must accept; a spec without them
// would leave children unmarked and deletions unnoticed.
void requireActionVerbs(const BusObjSpec& spec, std::vector<const BusObjSpec*>* seen) {
  for (const BusObjSpec* s : *seen) {
    if (s == &spec) return;
  }
  seen->push_back(&spec);
  for (const vy::Attr& a : vy::attributes(spec)) {
    if (!a.isObject()) continue;
    const BusObjSpec& child = vy::childSpec(a);
    for (const char* verb :
         {BusinessObject::CREATE_VERB, BusinessObject::UPDATE_VERB, BusinessObject::DELETE_VERB}) {
      if (!child.isVerbSupported(verb)) {
        throw SqlError(std::string("the child type ") + child.getName() +
                       " must support the verb " + verb + " for an Update of its parent");
      }
    }
    requireActionVerbs(child, seen);
  }
}

}  // namespace

std::vector<std::string> ObjectStore::keyValues(BusinessObject& bo, const TableMapping& mapping) {
  if (!mapping.hasKeys()) {
    throw SqlError("the type has no key attributes, so its objects cannot be found");
  }
  std::vector<std::string> keys;
  for (const vy::Attr& k : mapping.keyAttrs()) {
    if (!hasValue(bo, k)) {
      throw SqlError("the key attribute " + std::string(k.name()) + " has no value");
    }
    keys.emplace_back(*vy::text(bo, k));
  }
  return keys;
}

bool ObjectStore::run(BusinessObject& bo, std::string_view verb) {
  if (verb == BusinessObject::CREATE_VERB) {
    create(bo);
    return true;
  }
  if (verb == "Retrieve") return retrieve(bo);
  if (verb == BusinessObject::UPDATE_VERB) return update(bo);
  if (verb == BusinessObject::DELETE_VERB) return remove(bo);
  throw SqlError("the verb is not supported");
}

// ---- create ----

void ObjectStore::create(BusinessObject& bo) { insertTree(bo, Link()); }

std::string ObjectStore::nextKey(const TableMapping& mapping, const vy::Attr& key) {
  const SqlDialect& sql = mapping.dialect();
  std::unique_ptr<SqlStatement> st = connection.statement(
      "INSERT INTO vy_key_sequence (name, last) VALUES (" + sql.param(1) +
      ", 1) ON CONFLICT (name) DO UPDATE SET last = vy_key_sequence.last + 1 RETURNING last");
  st->bindText(1, mapping.typeName() + "." + std::string(key.name()));
  if (!st->step()) throw SqlError("the key sequence returned no value");
  return std::to_string(st->integer(0));
}

std::string ObjectStore::insertTree(BusinessObject& obj, const Link& link) {
  const TableMapping& m = schema.mappingFor(obj.getTheSpec());
  std::vector<vy::Attr> generated;
  for (const vy::Attr& k : m.keyAttrs()) {
    if (!hasValue(obj, k)) generated.push_back(k);
  }
  std::string identity;
  for (int attempt = 0;; attempt++) {
    for (const vy::Attr& k : generated) vy::set(obj, k, nextKey(m, k));
    // With generated keys a taken key skips the row (and the next key is drawn) instead of
    // failing the statement, which some databases would take as a failed transaction.
    std::unique_ptr<SqlStatement> st =
        connection.statement(generated.empty() ? m.insertSql() : m.insertOrSkipSql());
    bindLink(*st, 1, link.parentType, link.parentAttr, link.parentKey);
    st->bindInt(4, link.position);
    st->bindText(5, link.rootType);
    st->bindText(6, link.rootKey);
    int param = 7;
    for (const vy::Attr& a : m.simpleAttrs()) st->bindText(param++, vy::text(obj, a));
    if (st->step()) {
      identity = st->text(0);
      break;
    }
    // A generated key taken by a row written outside the connector: draw the next one.
    if (generated.empty()) throw SqlError("the insert returned no row");
    if (attempt + 1 >= kKeyAttempts) {
      throw SqlError("no free key after " + std::to_string(kKeyAttempts) + " generated keys");
    }
  }
  Link child;
  child.parentType = m.typeName();
  child.parentKey = identity;
  child.rootType = link.rootType.empty() ? m.typeName() : link.rootType;
  child.rootKey = link.rootType.empty() ? identity : link.rootKey;
  for (const vy::Attr& a : m.objectAttrs()) {
    child.parentAttr = a.name();
    child.position = 0;
    for (BusinessObject& o : vy::children(obj, a)) {
      insertTree(o, child);
      child.position++;
    }
  }
  return identity;
}

// ---- retrieve ----

ObjectStore::Row ObjectStore::currentRow(const SqlStatement& st, const TableMapping& m) {
  Row row;
  row.identity = st.text(0);
  for (int c = 1; c <= static_cast<int>(m.simpleAttrs().size()); c++) {
    row.values.push_back(st.isNull(c) ? std::nullopt : std::make_optional(st.text(c)));
  }
  return row;
}

bool ObjectStore::readTop(const TableMapping& m, const std::vector<std::string>& keys, Row* row) {
  std::unique_ptr<SqlStatement> st = connection.statement(m.selectTopSql());
  for (size_t k = 0; k < keys.size(); k++) st->bindText(static_cast<int>(k) + 1, keys[k]);
  if (!st->step()) return false;
  *row = currentRow(*st, m);
  return true;
}

std::vector<ObjectStore::Row> ObjectStore::readChildren(const TableMapping& m, const Link& link) {
  // Read whole before anyone recurses: a type that contains itself uses the same statement.
  std::vector<Row> rows;
  std::unique_ptr<SqlStatement> st = connection.statement(m.selectChildrenSql());
  bindLink(*st, 1, link.parentType, link.parentAttr, link.parentKey);
  while (st->step()) rows.push_back(currentRow(*st, m));
  return rows;
}

void ObjectStore::fill(BusinessObject& obj, const TableMapping& m, const Row& row) {
  for (size_t k = 0; k < m.simpleAttrs().size(); k++) {
    if (row.values[k]) {
      vy::set(obj, m.simpleAttrs()[k], *row.values[k]);  // '' is the blank marker
    } else {
      vy::ignore(obj, m.simpleAttrs()[k]);
    }
  }
}

void ObjectStore::loadChildren(BusinessObject& obj, const TableMapping& m,
                               const std::string& identity) {
  Link link;
  link.parentType = m.typeName();
  link.parentKey = identity;
  for (const vy::Attr& a : m.objectAttrs()) {
    vy::ignore(obj, a);
    link.parentAttr = a.name();
    const TableMapping& cm = schema.mappingFor(&vy::childSpec(a));
    for (const Row& row : readChildren(cm, link)) {
      BusinessObject& child = vy::addChild(obj, a);
      fill(child, cm, row);
      loadChildren(child, cm, row.identity);
      if (!a.isMultiple()) break;
    }
  }
}

bool ObjectStore::retrieve(BusinessObject& bo) {
  const TableMapping& m = schema.mappingFor(bo.getTheSpec());
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
  for (const vy::Attr& a : m.objectAttrs()) {
    link.parentAttr = a.name();
    const TableMapping& cm = schema.mappingFor(&vy::childSpec(a));
    if (!cm.objectAttrs().empty()) {
      for (const Row& row : readChildren(cm, link)) deleteChildren(cm, row.identity);
    }
    std::unique_ptr<SqlStatement> st = connection.statement(cm.deleteChildrenSql());
    bindLink(*st, 1, link.parentType, link.parentAttr, link.parentKey);
    st->run();
  }
}

void ObjectStore::deleteChild(const TableMapping& cm, const Link& link, BusinessObject& child) {
  std::vector<std::string> keys = keyValues(child, cm);
  std::string identity;
  {
    std::unique_ptr<SqlStatement> st = connection.statement(cm.selectChildSql());
    bindLink(*st, 1, link.parentType, link.parentAttr, link.parentKey);
    for (size_t k = 0; k < keys.size(); k++) st->bindText(static_cast<int>(k) + 4, keys[k]);
    if (!st->step()) return;  // already gone
    identity = st->text(0);
  }
  {
    std::unique_ptr<SqlStatement> st = connection.statement(cm.deleteChildSql());
    bindLink(*st, 1, link.parentType, link.parentAttr, link.parentKey);
    for (size_t k = 0; k < keys.size(); k++) st->bindText(static_cast<int>(k) + 4, keys[k]);
    st->run();
  }
  deleteChildren(cm, identity);
}

bool ObjectStore::remove(BusinessObject& bo) {
  const TableMapping& m = schema.mappingFor(bo.getTheSpec());
  std::vector<std::string> keys = keyValues(bo, m);
  Row row;
  if (!readTop(m, keys, &row)) return false;
  // The top-level row first: its "Delete" event then covers the children's removal.
  {
    std::unique_ptr<SqlStatement> st = connection.statement(m.deleteTopSql());
    for (size_t k = 0; k < keys.size(); k++) st->bindText(static_cast<int>(k) + 1, keys[k]);
    st->run();
  }
  deleteChildren(m, row.identity);
  return true;
}

// ---- update ----

std::string ObjectStore::updateRow(BusinessObject& obj, const TableMapping& m, const Link& link) {
  std::vector<vy::Attr> attrs;
  for (const vy::Attr& a : m.simpleAttrs()) {
    if (!a.isKey() && !vy::isIgnored(obj, a)) attrs.push_back(a);
  }
  std::vector<std::string> keys = keyValues(obj, m);
  std::unique_ptr<SqlStatement> st = connection.statement(m.updateSql(attrs));
  int param = 1;
  for (const vy::Attr& a : attrs) st->bindText(param++, vy::text(obj, a));
  st->bindInt(param++, link.position);
  bindLink(*st, param, link.parentType, link.parentAttr, link.parentKey);
  param += 3;
  for (const std::string& k : keys) st->bindText(param++, k);
  if (!st->step()) return std::string();
  return st->text(0);
}

void ObjectStore::replaceKeylessChildren(BusinessObject& obj, const vy::Attr& a,
                                         const TableMapping& cm, const Link& link) {
  // Children without keys cannot be matched: the stored ones make way for the new ones.
  if (!cm.objectAttrs().empty()) {
    for (const Row& row : readChildren(cm, link)) deleteChildren(cm, row.identity);
  }
  {
    std::unique_ptr<SqlStatement> st = connection.statement(cm.deleteChildrenSql());
    bindLink(*st, 1, link.parentType, link.parentAttr, link.parentKey);
    st->run();
  }
  vy::removeChildren(obj, a, isDelete);
  Link child = link;
  child.position = 0;
  for (BusinessObject& o : vy::children(obj, a)) {
    insertTree(o, child);
    child.position++;
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
  for (const vy::Attr& a : m.objectAttrs()) {
    link.parentAttr = a.name();
    link.position = 0;
    const TableMapping& cm = schema.mappingFor(&vy::childSpec(a));
    if (!cm.hasKeys()) {
      replaceKeylessChildren(obj, a, cm, link);
      continue;
    }
    if (!a.isMultiple()) {
      BusinessObject* mine = singleChild(&obj, a);
      BusinessObject* theirs = singleChild(old, a);
      if (mine != nullptr && isDelete(*mine)) {
        if (theirs != nullptr) deleteChild(cm, link, *theirs);
        vy::ignore(obj, a);
      } else if (mine != nullptr && theirs != nullptr && mine->equalPKeys(theirs) == 1) {
        std::string childIdentity = updateRow(*mine, cm, link);
        applyChildren(*mine, cm, childIdentity, root, theirs);
      } else if (mine != nullptr) {
        if (theirs != nullptr) deleteChild(cm, link, *theirs);
        insertTree(*mine, link);
      }
      continue;
    }
    // The action verbs createActionObject gave the children say what each one needs.
    vy::removeChildren(obj, a, [&](BusinessObject& child) {
      if (!isDelete(child)) return false;
      deleteChild(cm, link, child);
      return true;
    });
    for (BusinessObject& child : vy::children(obj, a)) {
      BusinessObject* theirs =
          vy::verbOf(child) != BusinessObject::CREATE_VERB ? storedTwin(old, a, child) : nullptr;
      std::string childIdentity = theirs != nullptr ? updateRow(child, cm, link) : std::string();
      if (childIdentity.empty()) {
        insertTree(child, link);
      } else {
        applyChildren(child, cm, childIdentity, root, theirs);
      }
      link.position++;
    }
  }
}

bool ObjectStore::update(BusinessObject& bo) {
  const TableMapping& m = schema.mappingFor(bo.getTheSpec());
  std::vector<const BusObjSpec*> seen;
  requireActionVerbs(*bo.getTheSpec(), &seen);
  std::vector<std::string> keys = keyValues(bo, m);
  Row row;
  if (!readTop(m, keys, &row)) return false;
  std::unique_ptr<BusinessObject> old = vy::makeObject(bo.getName());
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
