// The process-wide directory of business object specs, keyed by type name: every spec the agent
// announces is filed here, and business objects, handlers and the serializer look specs up here.
//
// One spec per name: a newer spec for a name replaces the older one, and the version arguments of
// lookups and removals are accepted and not consulted.
//
// Ownership: the directory owns every spec ever filed in it and keeps it alive until the
// directory itself is destroyed (at library unload for theBusObjSpecDirectory). A spec that is
// replaced by a newer one, or whose entry is removed with deleteBusObj, is no longer found but is
// not freed, so a business object on another thread that still uses it stays safe. Callers never
// delete a spec they filed. The cost is one spec kept per re-announcement, which the agent does
// rarely.
// Threads: every operation takes the directory's lock; lookups run in parallel, filings exclude
// them briefly.
#ifndef VY_BUS_OBJ_SPEC_DIRECTORY_HPP
#define VY_BUS_OBJ_SPEC_DIRECTORY_HPP

#include <functional>
#include <shared_mutex>
#include <vector>

#include "BusObjSpecList.hpp"
#include "GenPtrDict.hpp"
#include "StringHash.hpp"
#include "VyExport.hpp"

class BusObjSpec;
class KyVersion;

class VY_EXPORT BusObjSpecDirectory {
 public:
  // The one directory of the process.
  static BusObjSpecDirectory theBusObjSpecDirectory;

  BusObjSpecDirectory();
  // Deletes every spec the directory owns, filed or replaced.
  ~BusObjSpecDirectory();
  BusObjSpecDirectory(const BusObjSpecDirectory&) = delete;
  BusObjSpecDirectory& operator=(const BusObjSpecDirectory&) = delete;

  // Files `spec` under its name; the directory owns it from now on.
  void insert(BusObjSpec& spec);
  // The spec filed under `name`, or null.
  BusObjSpec* find(const char* name) const;
  BusObjSpec* find(const char* name, const char* version) const;
  BusObjSpec* find(const char* name, KyVersion& version) const;
  // Removes the entry of `name`; the spec stays alive (and owned) until the directory goes.
  void deleteBusObj(const char* name, const char* version);
  void deleteBusObj(const char* name, KyVersion& version);
  // Removes oldSpec's entry, then files newSpec under its own name.
  void update(BusObjSpec& oldSpec, BusObjSpec& newSpec);

  // Files `spec` under `key`; the directory owns it from now on.
  void setItemList(const StringHash& key, BusObjSpec* spec);
  void removeItemList(const StringHash& key);
  BusObjSpec* getItemList(const StringHash& key) const;
  // Number of filed specs.
  unsigned int size() const;
  // Calls `visit` with every spec this directory owns, filed or replaced, under its lock (visit
  // must not call back into the directory).
  void forEachOwnedSpec(const std::function<void(BusObjSpec&)>& visit) const;

  static BusObjSpecDirectory* getTheBusObjSpecDirectory();
  // Makes theBusObjSpecDirectory hold exactly the entries of `other`, under its own copies of the
  // keys. The specs it held before stay alive (unfiled); the specs of `other` stay owned by
  // `other`, which must outlive their use.
  static void setTheBusObjSpecDirectory(const BusObjSpecDirectory& other);

 private:
  void fileLocked(const StringHash& key, BusObjSpec* spec, bool owned);

  GenPtrDict dict;
  std::vector<BusObjSpec*> owned;  // every spec this directory must delete, each once
  mutable std::shared_mutex lock;
};

#endif  // VY_BUS_OBJ_SPEC_DIRECTORY_HPP
