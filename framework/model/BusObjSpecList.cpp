#include "BusObjSpecList.hpp"

#include <mutex>
#include <vector>

#include "BusObjSpec.hpp"
#include "DictSlot.hpp"

BusObjSpecList::BusObjSpecList() : dict(HashTbl::DEFAULT_SIZE) {}

BusObjSpecList::~BusObjSpecList() {
  std::unique_lock<std::shared_mutex> guard(lock);
  // Collect first: deleting while walking the table's own cursor would disturb it.
  std::vector<BusObjSpec*> specs;
  for (void* value = dict.firstValue(); value != nullptr; value = dict.nextValue()) {
    specs.push_back(static_cast<BusObjSpec*>(value));
  }
  dict.destructAll();
  for (BusObjSpec* spec : specs) delete spec;
}

void BusObjSpecList::insert(BusObjSpec& spec) {
  StringHash key(spec.getName());
  std::unique_lock<std::shared_mutex> guard(lock);
  dict.remove(key);
  dict.set(new StringHash(key), &spec);
}

BusObjSpec* BusObjSpecList::find(const char* name) const { return getItem(StringHash(name)); }

BusObjSpec* BusObjSpecList::find(const char* name, const char*) const { return find(name); }

BusObjSpec* BusObjSpecList::find(const char* name, KyVersion&) const { return find(name); }

void BusObjSpecList::deleteBusObj(const char* name, const char*) { removeItem(StringHash(name)); }

void BusObjSpecList::deleteBusObj(const char* name, KyVersion&) { removeItem(StringHash(name)); }

void BusObjSpecList::update(BusObjSpec& oldSpec, BusObjSpec& newSpec) {
  deleteBusObj(oldSpec.getName(), nullptr);
  insert(newSpec);
}

void BusObjSpecList::setItem(const StringHash& key, BusObjSpec* spec) {
  std::unique_lock<std::shared_mutex> guard(lock);
  dict.set(new StringHash(key), spec);
}

void BusObjSpecList::removeItem(const StringHash& key) {
  std::unique_lock<std::shared_mutex> guard(lock);
  dict.remove(key);
}

BusObjSpec* BusObjSpecList::getItem(const StringHash& key) const {
  std::shared_lock<std::shared_mutex> guard(lock);
  return static_cast<BusObjSpec*>(dict.get(key));
}

BusObjSpec* BusObjSpecList::firstValue() {
  std::unique_lock<std::shared_mutex> guard(lock);
  return static_cast<BusObjSpec*>(dict.firstValue());
}

BusObjSpec* BusObjSpecList::nextValue() {
  std::unique_lock<std::shared_mutex> guard(lock);
  return static_cast<BusObjSpec*>(dict.nextValue());
}

unsigned int BusObjSpecList::size() const {
  std::shared_lock<std::shared_mutex> guard(lock);
  return dict.size();
}
