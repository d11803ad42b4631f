// The tables of the announced types: builds each type's TableMapping once and makes sure its
// table and trigger exist (creating them when missing, if "CreateTables" allows) the first time
// a tree of that type is used. Agents that start at once against one database take turns
// (an advisory lock held for the schema transaction).
//
// Ownership: the schema owns the mappings; references it returns stay valid until reset().
// Failures throw PgError or SqlError: a child type that was never announced, a table or column
// missing while "CreateTables" is false, or the server's own error. Threads: any.
#ifndef PG_CONNECTOR_PG_SCHEMA_HPP
#define PG_CONNECTOR_PG_SCHEMA_HPP

#include <atomic>

#include "MappingCache.hpp"

class PgConnection;

class PgSchema : public MappingCache {
 public:
  // Forgets every mapping; tables are created from now on only when `createTables` is true.
  void reset(bool createTables);
  bool createsTables() const { return createTables; }
  // Creates the event table, the key sequences and the trigger function when missing (or,
  // without "CreateTables", checks that the event table is there).
  void prepareShared(PgConnection& connection);
  // Makes sure the tables of `spec` and of every type below it are ready; returns the mapping
  // of `spec`. The first call for a type must come with no transaction open on `connection`.
  const TableMapping& ensure(PgConnection& connection, BusObjSpec* spec);

 private:
  void prepareTable(PgConnection& connection, const TableMapping& mapping) const;

  std::atomic<bool> createTables{true};
};

#endif  // PG_CONNECTOR_PG_SCHEMA_HPP
