// A collection of specs keyed by type name, one spec per name, that callers fill for a task of
// their own and walk by value (the serializer gathers the specs a business object needs in one).
//
// Ownership: destroying a list deletes every spec still in it, so a caller that fills a list with
// specs owned elsewhere (such as the directory's) takes them out with removeItem first. insert
// and removeItem never delete a spec. The version arguments are accepted and not consulted.
// Threads: every operation takes the list's lock, lookups in parallel; the firstValue/nextValue
// walk has one cursor per list, so one walk at a time.
#ifndef VY_BUS_OBJ_SPEC_LIST_HPP
#define VY_BUS_OBJ_SPEC_LIST_HPP

#include <shared_mutex>

#include "GenPtrDict.hpp"
#include "StringHash.hpp"
#include "VyExport.hpp"

class BusObjSpec;
class KyVersion;

class VY_EXPORT BusObjSpecList {
 public:
  BusObjSpecList();
  ~BusObjSpecList();
  BusObjSpecList(const BusObjSpecList&) = delete;
  BusObjSpecList& operator=(const BusObjSpecList&) = delete;

  // Files `spec` under its name, replacing (not deleting) a spec of the same name.
  void insert(BusObjSpec& spec);
  // The spec filed under `name`, or null.
  BusObjSpec* find(const char* name) const;
  BusObjSpec* find(const char* name, const char* version) const;
  BusObjSpec* find(const char* name, KyVersion& version) const;
  // Removes the entry of `name`; the spec is not deleted.
  void deleteBusObj(const char* name, const char* version);
  void deleteBusObj(const char* name, KyVersion& version);
  // Removes oldSpec's entry, then files newSpec under its own name.
  void update(BusObjSpec& oldSpec, BusObjSpec& newSpec);

  void setItem(const StringHash& key, BusObjSpec* spec);
  void removeItem(const StringHash& key);
  BusObjSpec* getItem(const StringHash& key) const;

  // The stored specs in slot order; null after the last.
  BusObjSpec* firstValue();
  BusObjSpec* nextValue();
  unsigned int size() const;

 private:
  GenPtrDict dict;
  mutable std::shared_mutex lock;
};

#endif  // VY_BUS_OBJ_SPEC_LIST_HPP
