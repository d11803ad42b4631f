// PostgreSQL's side of the shared SQL texts: "$N" parameters, JSON arrays of text, bigint, and
// the tables, the function and the per-table triggers that are PostgreSQL's alone.
#ifndef PG_CONNECTOR_PG_DIALECT_HPP
#define PG_CONNECTOR_PG_DIALECT_HPP

#include <string>
#include <vector>

#include "SqlSession.hpp"

class TableMapping;

class PgDialect : public SqlDialect {
 public:
  static const PgDialect& instance() {
    static const PgDialect dialect;
    return dialect;
  }
  std::string param(int n) const override { return "$" + std::to_string(n); }
  // array_to_json of a text array: '["a","b"]', the same text the triggers build for keys.
  std::string jsonArray(const std::vector<std::string>& items) const override;
  const char* integerType() const override { return "bigint"; }
  bool reservedTable(const std::string& name) const override {
    return name.compare(0, 3, "pg_") == 0;
  }
  // NAMEDATALEN - 1: the server cuts longer names silently.
  size_t maxNameBytes() const override { return 63; }

  // The event table, the key sequences and the trigger function, created when missing.
  static const char* createSharedSql();
  // The statement that creates the trigger of a type's table (run when it has none).
  static std::string createTriggerSql(const TableMapping& mapping);
  // The lock every agent takes while it creates or changes tables, so that agents starting at
  // once do not race on the same CREATE.
  static const char* schemaLockSql() { return "SELECT pg_advisory_xact_lock(7310411)"; }
};

#endif  // PG_CONNECTOR_PG_DIALECT_HPP
