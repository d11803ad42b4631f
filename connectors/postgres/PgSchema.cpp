#include "PgSchema.hpp"

#include <set>
#include <string>

#include "PgConnection.hpp"
#include "PgDialect.hpp"
#include "PgError.hpp"
#include "PgTransaction.hpp"
#include "SqlText.hpp"

void PgSchema::reset(bool create) {
  clear();
  createTables = create;
}

void PgSchema::prepareShared(PgConnection& connection) {
  PgTransaction transaction(connection);
  if (createTables) {
    connection.exec(PgDialect::schemaLockSql());
    connection.exec(PgDialect::createSharedSql());
  } else {
    std::unique_ptr<SqlStatement> st = connection.statement(
        "SELECT to_regclass('vy_event') IS NOT NULL AND to_regclass('vy_key_sequence') IS NOT "
        "NULL");
    if (!st->step() || st->text(0) != "t") {
      throw PgError(
          "the tables vy_event and vy_key_sequence do not exist and \"CreateTables\" "
          "is false");
    }
  }
  transaction.commit();
}

const TableMapping& PgSchema::ensure(PgConnection& connection, BusObjSpec* spec) {
  if (const TableMapping* m = find(spec)) return *m;
  std::vector<std::unique_ptr<TableMapping>> built = build(spec, PgDialect::instance());
  if (connection.inTransaction()) {
    throw PgError(std::string(spec->getName()) +
                  ": tables are prepared only outside a transaction");
  }
  {
    PgTransaction transaction(connection);
    if (createTables) connection.exec(PgDialect::schemaLockSql());
    for (auto& m : built) prepareTable(connection, *m);
    transaction.commit();
  }
  return keep(std::move(built), spec);
}

void PgSchema::prepareTable(PgConnection& connection, const TableMapping& mapping) const {
  // The columns the table has now, if it exists (in the schema the connection works in).
  std::set<std::string> columns;
  {
    std::unique_ptr<SqlStatement> st = connection.statement(
        "SELECT column_name FROM information_schema.columns"
        " WHERE table_schema = current_schema() AND table_name = $1");
    st->bindText(1, mapping.typeName());
    while (st->step()) columns.insert(st->text(0));
  }
  const bool create = createTables;
  if (columns.empty()) {
    if (!create) {
      throw PgError("table " + mapping.quotedTable() +
                    " does not exist and \"CreateTables\" is "
                    "false");
    }
    connection.exec(mapping.createTableSql());
  }
  // An older table of the type: attributes added to the spec since become new columns.
  for (const vy::Attr& a : mapping.simpleAttrs()) {
    std::string column(a.name());
    if (columns.empty() || columns.count(column) != 0) continue;
    if (!create) {
      throw PgError("table " + mapping.quotedTable() + " has no column " + sqltext::id(column) +
                    " and \"CreateTables\" is false");
    }
    connection.exec("ALTER TABLE " + mapping.quotedTable() + " ADD COLUMN IF NOT EXISTS " +
                    sqltext::id(column) + " TEXT");
  }
  std::unique_ptr<SqlStatement> st = connection.statement(
      "SELECT count(*) FROM pg_trigger WHERE tgrelid = to_regclass($1) AND tgname = 'vy_event'");
  st->bindText(1, mapping.quotedTable());
  if (st->step() && st->integer(0) == 0) {
    if (!create) {
      throw PgError("table " + mapping.quotedTable() +
                    " has no trigger vy_event and "
                    "\"CreateTables\" is false");
    }
    connection.exec(PgDialect::createTriggerSql(mapping));
  }
}
