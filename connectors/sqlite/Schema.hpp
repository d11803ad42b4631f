// The tables of the announced types: builds each type's TableMapping once and makes sure its
// table and triggers exist (creating them when missing, if "CreateTables" allows) the first time
// a tree of that type is used.
//
// Ownership: the schema owns the mappings; references it returns stay valid until reset().
// Specs are the spec directory's and live as long as the process. Failures throw SqliteError:
// a child type that was never announced (vy::AttrError), a table missing while "CreateTables" is
// false, or the database's own error. Threads: any thread; database work runs outside the schema's
// lock, so a thread inside a transaction never waits on one that waits for the database.
#ifndef SQLITE_CONNECTOR_SCHEMA_HPP
#define SQLITE_CONNECTOR_SCHEMA_HPP

#include <shared_mutex>
#include <string>
#include <vector>

#include "MappingCache.hpp"

class BusObjSpec;
class SqliteConnection;

class Schema : public MappingCache {
 public:
  Schema();
  ~Schema() override;
  Schema(const Schema&) = delete;
  Schema& operator=(const Schema&) = delete;

  // Forgets every mapping; tables are created from now on only when `createTables` is true.
  void reset(bool createTables);
  // Makes sure the tables of `spec` and of every type below it are ready; returns the mapping
  // of `spec`. The first call for a type must come with no transaction open on `connection`
  // (a rollback would undo the tables); later calls may come from anywhere.
  const TableMapping& ensure(SqliteConnection& connection, BusObjSpec* spec);
  // The mapping of a spec already made ready by ensure (directly or as part of a tree).
  // The CREATE TRIGGER statements (IF NOT EXISTS) that record the writes of a type's table in
  // the event table.
  static std::vector<std::string> triggerSql(const TableMapping& mapping);

 private:
  void prepareTable(SqliteConnection& connection, const TableMapping& mapping) const;

  mutable std::shared_mutex lock;  // guards createTables
  bool createTables = true;
};

#endif  // SQLITE_CONNECTOR_SCHEMA_HPP
