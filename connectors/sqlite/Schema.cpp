#include "Schema.hpp"

#include <mutex>
#include <set>
#include <vector>

#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "SqlText.hpp"
#include "SqliteConnection.hpp"
#include "SqliteError.hpp"
#include "TableMapping.hpp"
#include "Transaction.hpp"

Schema::Schema() = default;

Schema::~Schema() = default;

void Schema::reset(bool create) {
  std::unique_lock<std::shared_mutex> guard(lock);
  ready.clear();
  createTables = create;
}

BusObjSpec* Schema::childSpec(BusObjSpec* spec, int attrIndex) {
  BOAttrType* a = spec->getAttribute(attrIndex);
  const char* typeName = a != nullptr ? a->getTypeName() : nullptr;
  BusObjSpec* child =
      typeName != nullptr ? BusObjSpecDirectory::theBusObjSpecDirectory.find(typeName) : nullptr;
  if (child == nullptr) {
    throw SqliteError(std::string(spec->getName()) + "." + (a ? a->getName() : "?") +
                      ": the child type \"" + (typeName ? typeName : "") + "\" was not announced");
  }
  return child;
}

const TableMapping& Schema::ensure(SqliteConnection& connection, BusObjSpec* spec) {
  {
    std::shared_lock<std::shared_mutex> guard(lock);
    auto it = ready.find(spec);
    if (it != ready.end()) return *it->second;
  }
  // Every type of the tree, each once (a type may contain itself).
  std::vector<BusObjSpec*> tree{spec};
  std::set<BusObjSpec*> seen{spec};
  for (size_t i = 0; i < tree.size(); i++) {
    for (int a = 0; a < tree[i]->getAttributeCount(); a++) {
      if (!tree[i]->getAttribute(a)->isObjectType()) continue;
      BusObjSpec* child = childSpec(tree[i], a);
      if (seen.insert(child).second) tree.push_back(child);
    }
  }
  if (!connection.inAutocommit()) {
    // A rollback of the caller's transaction would take the new tables with it.
    throw SqliteError(std::string(spec->getName()) +
                      ": tables are prepared only outside a transaction");
  }
  std::vector<std::unique_ptr<TableMapping>> built;
  for (BusObjSpec* s : tree) built.push_back(std::make_unique<TableMapping>(s));
  {
    // A file opened read-only is only checked: its tables must be there already.
    Transaction transaction(connection, !connection.readOnly());
    for (auto& m : built) prepareTable(connection, *m);
    transaction.commit();
  }
  std::unique_lock<std::shared_mutex> guard(lock);
  for (auto& m : built) {
    BusObjSpec* s = m->spec();
    if (ready.find(s) == ready.end()) ready.emplace(s, std::move(m));
  }
  return *ready.at(spec);
}

const TableMapping& Schema::mappingFor(BusObjSpec* spec) const {
  std::shared_lock<std::shared_mutex> guard(lock);
  auto it = ready.find(spec);
  if (it == ready.end()) {
    throw SqliteError(std::string(spec->getName()) + ": the type's table is not prepared");
  }
  return *it->second;
}

void Schema::prepareTable(SqliteConnection& connection, const TableMapping& mapping) const {
  // The columns the table has now, if it exists.
  std::set<std::string> columns;
  {
    Statement info = connection.prepare("SELECT name FROM pragma_table_info(?1)");
    info.bindText(1, mapping.typeName());
    while (info.step()) columns.insert(info.text(0));
  }
  bool create;
  {
    std::shared_lock<std::shared_mutex> guard(lock);
    create = createTables;
  }
  const char* const whyNot =
      connection.readOnly() ? "the database is read-only" : "\"CreateTables\" is false";
  if (connection.readOnly()) create = false;
  if (columns.empty()) {
    if (!create) {
      throw SqliteError("table " + mapping.quotedTable() + " does not exist and " + whyNot,
                        connection.readOnly() ? SQLITE_READONLY : 0);
    }
    for (const std::string& sql : mapping.createSql()) connection.exec(sql);
    return;
  }
  // An older table of the type: attributes added to the spec since become new columns.
  for (int i : mapping.simpleAttrs()) {
    std::string column = mapping.spec()->getAttribute(i)->getName();
    if (columns.count(column) != 0) continue;
    if (!create) {
      throw SqliteError("table " + mapping.quotedTable() + " has no column " + sqltext::id(column) +
                            " and " + whyNot,
                        connection.readOnly() ? SQLITE_READONLY : 0);
    }
    connection.exec("ALTER TABLE " + mapping.quotedTable() + " ADD COLUMN " + mapping.columnSql(i));
  }
  if (create) {
    for (const std::string& sql : mapping.createSql()) connection.exec(sql);
  }
}
