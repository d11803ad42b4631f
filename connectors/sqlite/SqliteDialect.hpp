// SQLite's side of the shared SQL texts: numbered "?N" parameters, json_array, INTEGER, and the
// tables of the connector that are SQLite's alone (the event table and the key sequences).
#ifndef SQLITE_CONNECTOR_SQLITE_DIALECT_HPP
#define SQLITE_CONNECTOR_SQLITE_DIALECT_HPP

#include <string>
#include <vector>

#include "SqlSession.hpp"

class SqliteDialect : public SqlDialect {
 public:
  static const SqliteDialect& instance() {
    static const SqliteDialect dialect;
    return dialect;
  }
  std::string param(int n) const override { return "?" + std::to_string(n); }
  std::string jsonArray(const std::vector<std::string>& items) const override {
    std::string out = "json_array(";
    for (size_t i = 0; i < items.size(); i++) out += (i > 0 ? ", " : "") + items[i];
    return out + ")";
  }
  const char* integerType() const override { return "INTEGER"; }
  bool reservedTable(const std::string& name) const override {
    return name.compare(0, 7, "sqlite_") == 0;
  }

  // The event table and the per-column key sequences, created when missing.
  static std::string createSharedTablesSql() {
    // AUTOINCREMENT: an event id is never reused, so ids give the order of writes for good.
    return "CREATE TABLE IF NOT EXISTS vy_event (id INTEGER PRIMARY KEY AUTOINCREMENT,"
           " type TEXT NOT NULL, verb TEXT NOT NULL, key TEXT NOT NULL,"
           " taken INTEGER NOT NULL DEFAULT 0);"
           "CREATE INDEX IF NOT EXISTS vy_event_pending ON vy_event (type, key, taken);"
           "CREATE INDEX IF NOT EXISTS vy_event_order ON vy_event (taken, id);"
           "CREATE TABLE IF NOT EXISTS vy_key_sequence (name TEXT PRIMARY KEY,"
           " last INTEGER NOT NULL);";
  }
};

#endif  // SQLITE_CONNECTOR_SQLITE_DIALECT_HPP
