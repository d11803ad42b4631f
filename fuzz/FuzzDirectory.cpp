#include "FuzzDirectory.hpp"

#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "StringHash.hpp"

namespace vyfuzz {
namespace {

// Holds the fixed specs' entries for the life of the process. Never destroyed: it would delete
// specs the main directory filed first.
BusObjSpecDirectory* gBaseline = nullptr;

}  // namespace

void FuzzDirectory::snapshot() {
  if (gBaseline != nullptr) return;
  gBaseline = new BusObjSpecDirectory();
  for (const char* name : {"Item", "Node", "Order"}) {
    BusObjSpec* spec = BusObjSpecDirectory::theBusObjSpecDirectory.find(name);
    if (spec != nullptr) gBaseline->setItemList(StringHash(name), spec);
  }
}

void FuzzDirectory::restore() {
  if (gBaseline != nullptr) BusObjSpecDirectory::setTheBusObjSpecDirectory(*gBaseline);
}

}  // namespace vyfuzz
