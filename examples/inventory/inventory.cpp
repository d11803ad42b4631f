// An inventory kept in memory: items with their stock moves. Create, Retrieve, Update and
// Delete of whole items; an item whose quantity falls below "ReorderLevel" (default 5) is
// raised as an "Update" event on the next poll.
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "VyConnector.hpp"

namespace {

struct Move {
  std::string id;
  std::string delta;
};

struct Item {
  std::string name;
  std::string quantity;
  std::vector<Move> moves;
};

std::mutex gLock;
std::map<std::string, Item> gItems;
std::set<std::string> gLowStock;  // SKUs to raise as events
int gReorderLevel = 5;

// The text of a simple attribute, "" when ignored or blank.
std::string text(BusinessObject& bo, const char* attr) {
  void* v = bo.getAttrValue(attr);
  return v == nullptr || BusinessObject::isBlankValue(v) ? "" : static_cast<const char*>(v);
}

Item itemFrom(BusinessObject& bo) {
  Item item{text(bo, "Name"), text(bo, "Quantity"), {}};
  void* v = bo.getAttrValue("Moves");
  if (v != nullptr && v != BusinessObject::BlankValue) {
    auto* moves = static_cast<BusObjContainer*>(v);
    for (int i = 0; i < moves->getObjectCount(); ++i) {
      if (BusinessObject* m = moves->getObject(i))
        item.moves.push_back({text(*m, "MoveId"), text(*m, "Delta")});
    }
  }
  return item;
}

void fill(BusinessObject& bo, const Item& item) {
  bo.setAttrValue("Name", item.name.c_str(), BOAttrType::STRING);
  bo.setAttrValue("Quantity", item.quantity.c_str(), BOAttrType::INTEGER);
  for (const Move& m : item.moves) {
    BusinessObject* move = new BusinessObject("InvMove");
    move->setAttrValue("MoveId", m.id.c_str(), BOAttrType::STRING);
    move->setAttrValue("Delta", m.delta.c_str(), BOAttrType::INTEGER);
    bo.setAttrValue("Moves", move, BOAttrType::OBJECT);  // the parent owns it
  }
}

void noteStock(const std::string& sku, const Item& item) {
  if (!item.quantity.empty() && std::atoi(item.quantity.c_str()) < gReorderLevel)
    gLowStock.insert(sku);
}

class ItemHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override {
    std::string verb = bo.getVerb() ? bo.getVerb() : "";
    std::string sku = text(bo, "Sku");
    if (sku.empty()) return fail(status, "an item needs its Sku");
    std::lock_guard<std::mutex> guard(gLock);
    auto it = gItems.find(sku);
    if (verb == "Create") {
      if (it != gItems.end()) return fail(status, "item " + sku + " exists already");
      Item item = itemFrom(bo);
      noteStock(sku, item);
      gItems[sku] = item;
      return 1;
    }
    if (it == gItems.end()) return fail(status, "no item " + sku);
    if (verb == "Retrieve") {
      fill(bo, it->second);
      return 1;
    }
    if (verb == "Update") {
      it->second = itemFrom(bo);
      noteStock(sku, it->second);
      return 1;
    }
    if (verb == "Delete") {
      gItems.erase(it);
      gLowStock.erase(sku);
      return 1;
    }
    return fail(status, "verb " + verb + " is not supported");
  }

 private:
  static int fail(ReturnStatusDescriptor* status, const std::string& why) {
    if (status != nullptr) status->seterrMsg(why.c_str());
    return -1;  // the agent keeps its request as it sent it
  }
};

class InventoryGlobals : public GenGlobals {
  ItemHandler handler;

 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override { return &handler; }

  int init(KyVersion*) override {
    char level[16];
    if (getConfigProp("ReorderLevel", level, sizeof level) > 0) gReorderLevel = std::atoi(level);
    std::lock_guard<std::mutex> guard(gLock);
    gItems.clear();
    gLowStock.clear();
    return 0;
  }

  int pollForEvents() override {
    std::vector<std::pair<std::string, Item>> due;
    {
      std::lock_guard<std::mutex> guard(gLock);
      for (const std::string& sku : gLowStock) due.emplace_back(sku, gItems[sku]);
      gLowStock.clear();
    }
    for (const auto& entry : due) {
      // The event object is ours: built here, handed over, deleted here.
      BusinessObject event("InvItem");
      event.setVerb("Update");
      event.setAttrValue("Sku", entry.first.c_str(), BOAttrType::STRING);
      fill(event, entry.second);
      getTheSubHandler()->gotApplEvent(event);
    }
    return 0;
  }

  int terminate() override { return 0; }
  char* getVersion() override { return const_cast<char*>("1.0.0"); }
};

InventoryGlobals theGlobals;

}  // namespace
