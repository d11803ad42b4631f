#include "Schema.hpp"

#include <mutex>
#include <set>
#include <vector>

#include "SqlText.hpp"
#include "SqliteConnection.hpp"
#include "SqliteDialect.hpp"
#include "SqliteError.hpp"
#include "TableMapping.hpp"
#include "Transaction.hpp"

Schema::Schema() = default;

Schema::~Schema() = default;

void Schema::reset(bool create) {
  std::unique_lock<std::shared_mutex> guard(lock);
  clear();
  createTables = create;
}

const TableMapping& Schema::ensure(SqliteConnection& connection, BusObjSpec* spec) {
  if (const TableMapping* m = find(spec)) return *m;
  std::vector<std::unique_ptr<TableMapping>> built = build(spec, SqliteDialect::instance());
  if (!connection.inAutocommit()) {
    // A rollback of the caller's transaction would take the new tables with it.
    throw SqliteError(std::string(spec->getName()) +
                      ": tables are prepared only outside a transaction");
  }
  {
    // A file opened read-only is only checked: its tables must be there already.
    Transaction transaction(connection, !connection.readOnly());
    for (auto& m : built) prepareTable(connection, *m);
    transaction.commit();
  }
  return keep(std::move(built), spec);
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
    connection.exec(mapping.createTableSql());
    for (const std::string& sql : triggerSql(mapping)) connection.exec(sql);
    return;
  }
  // An older table of the type: attributes added to the spec since become new columns.
  for (const vy::Attr& a : mapping.simpleAttrs()) {
    std::string column(a.name());
    if (columns.count(column) != 0) continue;
    if (!create) {
      throw SqliteError("table " + mapping.quotedTable() + " has no column " + sqltext::id(column) +
                            " and " + whyNot,
                        connection.readOnly() ? SQLITE_READONLY : 0);
    }
    connection.exec("ALTER TABLE " + mapping.quotedTable() + " ADD COLUMN " + sqltext::id(column) +
                    " TEXT");
  }
  if (create) {
    for (const std::string& sql : triggerSql(mapping)) connection.exec(sql);
  }
}

std::vector<std::string> Schema::triggerSql(const TableMapping& mapping) {
  using sqltext::id;
  std::string key;
  for (const vy::Attr& a : mapping.keyAttrs()) {
    key += (key.empty() ? "" : ", ") + std::string("NEW.") + id(a.name());
  }
  const std::string type = sqltext::literal(mapping.typeName());
  struct Kind {
    const char* when;
    const char* verb;
    const char* row;
  };
  std::vector<std::string> out;
  for (const Kind& k : {Kind{"INSERT", "Create", "NEW"}, Kind{"UPDATE", "Update", "NEW"},
                        Kind{"DELETE", "Delete", "OLD"}}) {
    std::string row = k.row;
    std::string rowKey = key;
    if (row == "OLD") {
      for (std::string::size_type p = 0; (p = rowKey.find("NEW.", p)) != std::string::npos;) {
        rowKey.replace(p, 4, "OLD.");
      }
    }
    out.push_back(
        "CREATE TRIGGER IF NOT EXISTS " +
        id(std::string("vy_") + k.verb + " " + mapping.typeName()) + " AFTER " + k.when + " ON " +
        mapping.quotedTable() + " BEGIN" + " INSERT INTO vy_event (type, verb, key) SELECT " +
        type + ", '" + k.verb + "', json_array(" + rowKey + ") WHERE " + row +
        ".\"vy_parent_type\" = '';" + " INSERT INTO vy_event (type, verb, key) SELECT " + row +
        ".\"vy_root_type\"," + " 'Update', " + row + ".\"vy_root_key\" WHERE " + row +
        ".\"vy_parent_type\" <> '' AND NOT EXISTS (SELECT 1 FROM vy_event WHERE type = " + row +
        ".\"vy_root_type\" AND key = " + row + ".\"vy_root_key\" AND taken = 0);" + " END");
  }
  return out;
}
