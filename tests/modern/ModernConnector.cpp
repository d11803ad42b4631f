// A connector written on the modern layer only, for its tests: orders with lines kept in
// memory; "Ship" is a verb of its own; an order whose "Paid" is false is raised as an "Update"
// event on the next poll.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "VyModern.hpp"

namespace {

struct Line {
  std::string sku;
  long long qty;
};
struct Order {
  double price = 0;
  bool paid = false;
  vy::Date due;
  std::vector<Line> lines;
  std::string state = "open";
};

std::mutex gLock;
std::map<std::string, Order> gOrders;
std::vector<std::string> gUnpaid;

class OrderHandler : public vy::Handler {
  void create(BusinessObject& bo) override {
    std::string id(vy::require<std::string>(bo, "Id"));
    Order o;
    o.price = vy::get<double>(bo, "Price").value_or(0);
    o.paid = vy::get<bool>(bo, "Paid").value_or(false);
    o.due = vy::get<vy::Date>(bo, "Due").value_or(vy::Date{});
    for (BusinessObject& line : vy::children(bo, "Lines")) {
      long long qty = vy::require<long long>(line, "Qty");
      if (qty <= 0) throw vy::VerbError("line quantities are above 0", -3);
      o.lines.push_back({std::string(*vy::text(line, "Sku")), qty});
    }
    std::lock_guard<std::mutex> guard(gLock);
    if (!gOrders.emplace(id, o).second) throw vy::VerbError("order " + id + " exists already");
    if (!o.paid) gUnpaid.push_back(id);
  }

  void retrieve(BusinessObject& bo) override {
    Order o = find(bo);
    fill(bo, o);
  }

  vy::Status other(BusinessObject& bo, std::string_view verb) override {
    if (verb != "Ship") unsupported(bo, verb);
    std::lock_guard<std::mutex> guard(gLock);
    auto it = gOrders.find(std::string(*vy::text(bo, "Id")));
    if (it == gOrders.end()) throw vy::VerbError("no such order");
    it->second.state = "shipped";
    vy::set(bo, "State", "shipped");
    return vy::Status::ValueChanged;
  }

  static Order find(BusinessObject& bo) {
    std::string id(vy::require<std::string>(bo, "Id"));
    std::lock_guard<std::mutex> guard(gLock);
    auto it = gOrders.find(id);
    if (it == gOrders.end()) throw vy::VerbError("no order " + id);
    return it->second;
  }

 public:
  static void fill(BusinessObject& bo, const Order& o) {
    vy::set(bo, "Price", o.price);
    vy::set(bo, "Paid", o.paid);
    vy::set(bo, "Due", o.due);
    vy::set(bo, "State", o.state);
    for (const Line& l : o.lines) {
      BusinessObject& line = vy::addChild(bo, "Lines");
      vy::set(line, "Sku", l.sku);
      vy::set(line, "Qty", l.qty);
    }
  }
};

class ModernGlobals : public vy::Globals {
  OrderHandler handler_;

 public:
  BOHandlerCPP* handlerFor(std::string_view) override { return &handler_; }
  std::string_view version() const override { return "2.0.0"; }
  int init(KyVersion*) override {
    std::lock_guard<std::mutex> guard(gLock);
    gOrders.clear();
    gUnpaid.clear();
    return 0;
  }
  int pollForEvents() override {
    std::vector<std::pair<std::string, Order>> due;
    {
      std::lock_guard<std::mutex> guard(gLock);
      for (const std::string& id : gUnpaid) due.emplace_back(id, gOrders[id]);
      gUnpaid.clear();
    }
    for (const auto& entry : due) {
      std::unique_ptr<BusinessObject> event = vy::makeObject("MdOrder");
      vy::set(*event, "Id", entry.first);
      OrderHandler::fill(*event, entry.second);
      vy::raiseEvent(*event, "Update");
    }
    return 0;
  }
  int terminate() override { return 0; }
};

ModernGlobals theGlobals;

}  // namespace
