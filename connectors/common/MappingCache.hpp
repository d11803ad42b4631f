// The mappings a connector's schema has made ready, built once per type and shared by every
// thread: what both SQL connectors' schemas keep, apart from how each makes its tables.
//
// Ownership: the cache owns the mappings; references it returns stay valid until clear().
// Threads: any; lookups share a lock, additions take it alone.
#ifndef VY_SQL_COMMON_MAPPING_CACHE_HPP
#define VY_SQL_COMMON_MAPPING_CACHE_HPP

#include <map>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "TableMapping.hpp"

class MappingCache : public TableMappings {
 public:
  // The mapping of `spec`, or null when not ready yet.
  const TableMapping* find(BusObjSpec* spec) const;
  // Keeps the mappings (those of types another thread made ready meanwhile are dropped) and
  // returns the one of `spec`.
  const TableMapping& keep(std::vector<std::unique_ptr<TableMapping>> built, BusObjSpec* spec);
  void clear();
  const TableMapping& mappingFor(BusObjSpec* spec) const override;

  // `spec` and every type below it, each once (a type may contain itself); throws vy::AttrError
  // for a child type that was never announced.
  static std::vector<BusObjSpec*> treeTypes(BusObjSpec* spec);
  // The mappings of those types.
  static std::vector<std::unique_ptr<TableMapping>> build(BusObjSpec* spec,
                                                          const SqlDialect& dialect);

 private:
  mutable std::shared_mutex lock;
  std::map<BusObjSpec*, std::unique_ptr<TableMapping>> ready;
};

#endif  // VY_SQL_COMMON_MAPPING_CACHE_HPP
