#include "BusObjSpecDirectory.hpp"

#include <algorithm>
#include <mutex>

#include "BusObjSpec.hpp"
#include "DictSlot.hpp"

BusObjSpecDirectory BusObjSpecDirectory::theBusObjSpecDirectory;

BusObjSpecDirectory::BusObjSpecDirectory() : dict(HashTbl::DEFAULT_SIZE) {}

BusObjSpecDirectory::~BusObjSpecDirectory() {
  std::unique_lock<std::shared_mutex> guard(lock);
  dict.destructAll();
  // Filed and replaced specs alike; a spec filed more than once is deleted once.
  std::sort(owned.begin(), owned.end());
  owned.erase(std::unique(owned.begin(), owned.end()), owned.end());
  for (BusObjSpec* spec : owned) delete spec;
  owned.clear();
}

void BusObjSpecDirectory::fileLocked(const StringHash& key, BusObjSpec* spec, bool own) {
  // A new entry rather than a new value in the old one: the spec takes the slot a fresh
  // filing of its name would take.
  dict.remove(key);
  if (spec == nullptr) return;
  dict.set(new StringHash(key), spec);
  if (own) owned.push_back(spec);
}

void BusObjSpecDirectory::insert(BusObjSpec& spec) {
  StringHash key(spec.getName());
  std::unique_lock<std::shared_mutex> guard(lock);
  fileLocked(key, &spec, true);
}

BusObjSpec* BusObjSpecDirectory::find(const char* name) const {
  return getItemList(StringHash(name));
}

BusObjSpec* BusObjSpecDirectory::find(const char* name, const char*) const { return find(name); }

BusObjSpec* BusObjSpecDirectory::find(const char* name, KyVersion&) const { return find(name); }

void BusObjSpecDirectory::deleteBusObj(const char* name, const char*) {
  removeItemList(StringHash(name));
}

void BusObjSpecDirectory::deleteBusObj(const char* name, KyVersion&) {
  removeItemList(StringHash(name));
}

void BusObjSpecDirectory::update(BusObjSpec& oldSpec, BusObjSpec& newSpec) {
  deleteBusObj(oldSpec.getName(), nullptr);
  insert(newSpec);
}

void BusObjSpecDirectory::setItemList(const StringHash& key, BusObjSpec* spec) {
  std::unique_lock<std::shared_mutex> guard(lock);
  fileLocked(key, spec, true);
}

void BusObjSpecDirectory::removeItemList(const StringHash& key) {
  std::unique_lock<std::shared_mutex> guard(lock);
  dict.remove(key);
}

BusObjSpec* BusObjSpecDirectory::getItemList(const StringHash& key) const {
  std::shared_lock<std::shared_mutex> guard(lock);
  return static_cast<BusObjSpec*>(dict.get(key));
}

unsigned int BusObjSpecDirectory::size() const {
  std::shared_lock<std::shared_mutex> guard(lock);
  return dict.size();
}

BusObjSpecDirectory* BusObjSpecDirectory::getTheBusObjSpecDirectory() {
  return &theBusObjSpecDirectory;
}

void BusObjSpecDirectory::setTheBusObjSpecDirectory(const BusObjSpecDirectory& other) {
  if (&other == &theBusObjSpecDirectory) return;
  std::vector<std::pair<StringHash, BusObjSpec*>> entries;
  {
    std::shared_lock<std::shared_mutex> guard(other.lock);
    for (unsigned int i = 0; i < other.dict.capacity(); ++i) {
      auto* slot = static_cast<DictSlot*>(other.dict.slotAt(i));
      if (slot == nullptr) continue;
      entries.emplace_back(*static_cast<StringHash*>(slot->getKey()),
                           static_cast<BusObjSpec*>(slot->getValue()));
    }
  }
  BusObjSpecDirectory& dir = theBusObjSpecDirectory;
  std::unique_lock<std::shared_mutex> guard(dir.lock);
  // The directory now holds exactly other's entries; its own specs stay alive, unfiled.
  dir.dict.destructAll();
  for (const auto& entry : entries) dir.fileLocked(entry.first, entry.second, false);
}

void BusObjSpecDirectory::forEachOwnedSpec(const std::function<void(BusObjSpec&)>& visit) const {
  std::shared_lock<std::shared_mutex> guard(lock);
  for (BusObjSpec* spec : owned) visit(*spec);
}
