#include "MappingCache.hpp"

#include <mutex>
#include <set>

const TableMapping* MappingCache::find(BusObjSpec* spec) const {
  std::shared_lock<std::shared_mutex> guard(lock);
  auto it = ready.find(spec);
  return it != ready.end() ? it->second.get() : nullptr;
}

const TableMapping& MappingCache::keep(std::vector<std::unique_ptr<TableMapping>> built,
                                       BusObjSpec* spec) {
  std::unique_lock<std::shared_mutex> guard(lock);
  for (auto& m : built) {
    BusObjSpec* s = m->spec();
    if (ready.find(s) == ready.end()) ready.emplace(s, std::move(m));
  }
  return *ready.at(spec);
}

void MappingCache::clear() {
  std::unique_lock<std::shared_mutex> guard(lock);
  ready.clear();
}

const TableMapping& MappingCache::mappingFor(BusObjSpec* spec) const {
  const TableMapping* m = find(spec);
  if (m == nullptr) {
    throw SqlError(std::string(spec->getName()) + ": the type's table is not prepared");
  }
  return *m;
}

std::vector<BusObjSpec*> MappingCache::treeTypes(BusObjSpec* spec) {
  std::vector<BusObjSpec*> tree{spec};
  std::set<BusObjSpec*> seen{spec};
  for (size_t i = 0; i < tree.size(); i++) {
    for (const vy::Attr& a : vy::attributes(*tree[i])) {
      if (a.isObject() && seen.insert(&vy::childSpec(a)).second) tree.push_back(&vy::childSpec(a));
    }
  }
  return tree;
}

std::vector<std::unique_ptr<TableMapping>> MappingCache::build(BusObjSpec* spec,
                                                               const SqlDialect& dialect) {
  std::vector<std::unique_ptr<TableMapping>> built;
  for (BusObjSpec* s : treeTypes(spec)) built.push_back(std::make_unique<TableMapping>(s, dialect));
  return built;
}
