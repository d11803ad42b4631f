// A modern face for writing connectors, beside the classic API and built only on it:
// values read as std::optional / std::string_view and typed numbers, children as ranges,
// std::unique_ptr for the objects a connector makes, constexpr type numbers and results, and a
// handler base whose verb methods fail by throwing.
//
//   #include "VyModern.hpp"
//
//   class OrderHandler : public vy::Handler {
//     void create(BusinessObject& order) override {
//       long long qty = vy::require<long long>(order, "Quantity");      // throws AttrError
//       for (BusinessObject& line : vy::children(order, "Lines")) { ... }
//       if (qty < 0) throw vy::VerbError("a negative quantity");         // status -1
//     }
//   };
//
// Nothing here changes what the classic API does; a connector may mix both freely. Every
// function is inline over the classic calls, so the layer costs nothing measurable.
//
// Values: an attribute slot holds nothing (ignored), the blank marker, or a text. text() answers
// std::nullopt for ignored, "" for blank, the text otherwise; the string_view stays valid until
// the attribute is set again or the object is destroyed. Typed reads parse the whole text and
// throw AttrError (naming the attribute, the type and the text) when it does not parse; an
// unknown attribute name or a text read from an object attribute throws AttrError too.
//
// Threads: as the classic API: one business object is used by one thread at a time.
#ifndef VY_MODERN_HPP
#define VY_MODERN_HPP

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "BOAttrType.hpp"
#include "BOHandlerCPP.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "GenGlobals.hpp"
#include "JToCPPVeneer.hpp"
#include "KyMsgFormat.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "VyResults.hpp"

// The failure paths of the checks below are kept out of line, so the checks inline to a few
// instructions.
#if defined(__GNUC__)
#define VY_MODERN_COLD __attribute__((noinline, cold))
#else
#define VY_MODERN_COLD
#endif

namespace vy {

// ---- numbers ----

// The attribute types, as constants (the classic BOAttrType numbers are mutable statics).
enum class AttrType : int {
  Object = 0,
  Boolean = 1,
  Integer = 2,
  Float = 3,
  Double = 4,
  String = 5,
  Date = 6,
  LongText = 7,
};
constexpr int toInt(AttrType t) { return static_cast<int>(t); }

// What a verb answers. Success and ValueChanged send the object back to the agent; every other
// (negative) status is a failure, and the agent keeps its request as it sent it.
enum class Status : int {
  Success = VyResults::VERB_SUCCESS,
  ValueChanged = VyResults::VERB_VALUE_CHANGED,
  Fail = VyResults::VERB_FAILURE,
};
constexpr int toInt(Status s) { return static_cast<int>(s); }
// gotApplEvent's answer when the agent subscribed to nothing of that name and verb.
constexpr int kEventNotSubscribed = VyResults::EVENT_NOT_SUBSCRIBED;

// ---- errors ----

// A value that cannot be read or written as asked (unknown attribute, wrong kind, a text that
// does not parse as the type).
class AttrError : public std::runtime_error {
 public:
  explicit AttrError(const std::string& what) : std::runtime_error(what) {}
};

// Thrown from a vy::Handler verb method: the request fails with this text and status (-1 unless
// another negative status is given).
class VerbError : public std::runtime_error {
 public:
  explicit VerbError(const std::string& what, int status = toInt(Status::Fail))
      : std::runtime_error(what), status_(status < 0 && status != -5 ? status : -1) {}
  int status() const { return status_; }

 private:
  int status_;
};

// ---- a type's attributes ----

// One attribute as its type's spec describes it: a handle over the spec's own description,
// cheap to copy (two pointers and an index) and valid as long as the spec (filed specs live as long
// as the process). Every function below that takes an attribute name also takes an Attr, which
// skips the lookup by name: walk a type once (attributes(spec)) and keep its Attrs. An Attr
// must come from the object's own type; one of another type throws AttrError.
class Attr {
 public:
  // The attribute at `index` of `spec`; std::out_of_range outside [0, attribute count).
  Attr(const BusObjSpec& spec, int index) : Attr(&spec, index) {
    if (index < 0 || index >= spec.getAttributeCount())
      throw std::out_of_range("no attribute at that index");
  }
  // The position in the type (the classic index).
  int index() const { return index_; }
  std::string_view name() const {
    return d_->getName() != nullptr ? std::string_view(d_->getName()) : std::string_view();
  }
  AttrType type() const { return static_cast<AttrType>(d_->getTypeNum()); }
  // True for an attribute that holds children, false for one that holds a value.
  bool isObject() const { return d_->isObjectType() != 0; }
  bool isKey() const { return d_->isKey() != 0; }
  // True for an object attribute that holds any number of children (a container).
  bool isMultiple() const { return d_->isMultipleCard() != 0; }
  // The type name of an object attribute's children; "" for a simple attribute.
  std::string_view childType() const {
    return isObject() && d_->getTypeName() != nullptr ? std::string_view(d_->getTypeName())
                                                      : std::string_view();
  }
  const BOAttrType& desc() const { return *d_; }
  // The spec it belongs to.
  const BusObjSpec& spec() const { return *spec_; }
  bool operator==(const Attr& o) const { return d_ == o.d_; }
  bool operator!=(const Attr& o) const { return d_ != o.d_; }

 private:
  friend class Attrs;
  // Unchecked: `index` is in range.
  Attr(const BusObjSpec* spec, int index)
      : spec_(spec), d_(spec->getAttrList() + index), index_(index) {}

  const BusObjSpec* spec_;
  const BOAttrType* d_;
  int index_;
};

// A type's attributes in spec order, as a range of Attr (by value).
class Attrs {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Attr;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Attr;

    iterator(const BusObjSpec* spec, int i) : spec_(spec), i_(i) {}
    Attr operator*() const { return Attr(spec_, i_); }
    iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const iterator& o) const { return i_ == o.i_; }
    bool operator!=(const iterator& o) const { return i_ != o.i_; }

   private:
    const BusObjSpec* spec_;
    int i_;
  };

  explicit Attrs(const BusObjSpec& spec) : spec_(&spec) {}
  iterator begin() const { return iterator(spec_, 0); }
  iterator end() const { return iterator(spec_, size()); }
  int size() const { return spec_->getAttributeCount(); }
  bool empty() const { return size() == 0; }
  // The attribute at `index`; std::out_of_range outside [0, size()).
  Attr operator[](int index) const { return Attr(*spec_, index); }

 private:
  const BusObjSpec* spec_;
};

inline Attrs attributes(const BusObjSpec& spec) { return Attrs(spec); }

// The filed spec of a type, or null when none is filed (the agent has not announced it).
inline BusObjSpec* findSpec(std::string_view type) {
  std::string name(type);
  return BusObjSpecDirectory::theBusObjSpecDirectory.find(name.c_str());
}

namespace detail {

inline std::string typeName(BusinessObject& bo) {
  return bo.getName() != nullptr ? bo.getName() : "an object without a spec";
}

inline BusObjSpec& specOf(BusinessObject& bo) {
  if (bo.getTheSpec() == nullptr) throw AttrError(typeName(bo) + " has no spec");
  return *bo.getTheSpec();
}

// The Attr named `attr`; AttrError when the type has none.
inline Attr find(BusinessObject& bo, std::string_view attr) {
  BusObjSpec* spec = bo.getTheSpec();
  std::string name(attr);
  int index = spec != nullptr ? spec->getAttributeIndex(name.c_str()) : -1;
  if (index < 0 || index >= spec->getAttributeCount())
    throw AttrError(typeName(bo) + " has no attribute " + name);
  return Attr(*spec, index);
}

enum class Misfit { OtherType, HoldsObjects, HoldsValue, Refused };

[[noreturn]] VY_MODERN_COLD inline void misfit(BusinessObject& bo, const Attr& a, Misfit why) {
  std::string name(a.name());
  if (why == Misfit::OtherType) throw AttrError(name + " is not an attribute of " + typeName(bo));
  if (why == Misfit::Refused) throw AttrError("cannot set " + name + " of " + typeName(bo));
  throw AttrError(name + " of " + typeName(bo) +
                  (why == Misfit::HoldsObjects ? " holds objects, not a value"
                                               : " holds a value, not objects"));
}

// AttrError unless `a` is an attribute of bo's own type: one pointer comparison.
inline void belongs(BusinessObject& bo, const Attr& a) {
  if (bo.getTheSpec() != &a.spec()) misfit(bo, a, Misfit::OtherType);
}

inline const Attr& simple(BusinessObject& bo, const Attr& a) {
  belongs(bo, a);
  if (a.isObject()) misfit(bo, a, Misfit::HoldsObjects);
  return a;
}

inline const Attr& object(BusinessObject& bo, const Attr& a) {
  belongs(bo, a);
  if (!a.isObject()) misfit(bo, a, Misfit::HoldsValue);
  return a;
}

[[noreturn]] VY_MODERN_COLD inline void notA(BusinessObject& bo, std::string_view attr,
                                             std::string_view text, const char* what) {
  throw AttrError(std::string(attr) + " of " + typeName(bo) + " holds \"" + std::string(text) +
                  "\", not " + what);
}

}  // namespace detail

// The attributes of bo's type; AttrError for an object without a spec.
inline Attrs attributes(BusinessObject& bo) { return Attrs(detail::specOf(bo)); }

// The attribute of bo's type named `name`; AttrError when there is none.
inline Attr attribute(BusinessObject& bo, std::string_view name) { return detail::find(bo, name); }

// The spec of an object attribute's children; AttrError for a simple attribute or a child type
// that was never filed.
inline BusObjSpec& childSpec(const Attr& a) {
  if (!a.isObject()) throw AttrError(std::string(a.name()) + " holds a value, not objects");
  BusObjSpec* spec = findSpec(a.childType());
  if (spec == nullptr)
    throw AttrError(std::string(a.name()) + ": the child type \"" + std::string(a.childType()) +
                    "\" was not announced");
  return *spec;
}

// The object's verb; "" when it has none.
inline std::string_view verbOf(BusinessObject& bo) {
  return bo.getVerb() != nullptr ? std::string_view(bo.getVerb()) : std::string_view();
}

// ---- reading values ----

// The text of a simple attribute: nullopt when ignored, "" for the blank marker.
inline std::optional<std::string_view> text(BusinessObject& bo, const Attr& attr) {
  void* v = bo.getAttrValue(detail::simple(bo, attr).index());
  if (v == nullptr) return std::nullopt;
  if (BusinessObject::isBlankValue(v)) return std::string_view();
  return std::string_view(static_cast<const char*>(v));
}
inline std::optional<std::string_view> text(BusinessObject& bo, std::string_view attr) {
  return text(bo, detail::find(bo, attr));
}

template <typename A>
bool isIgnored(BusinessObject& bo, const A& attr) {
  return !text(bo, attr).has_value();
}

template <typename A>
bool isBlank(BusinessObject& bo, const A& attr) {
  std::optional<std::string_view> t = text(bo, attr);
  return t.has_value() && t->empty();
}

// A date as the kit reads and writes it: "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (a 'T' may stand
// for the blank).
struct Date {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  bool operator==(const Date& o) const {
    return year == o.year && month == o.month && day == o.day && hour == o.hour &&
           minute == o.minute && second == o.second;
  }
};

namespace detail {

template <typename T>
bool parse(std::string_view t, T& out) {
  std::string s(t);
  if (s.empty()) return false;
  if constexpr (std::is_same_v<T, std::string>) {
    out = s;
    return true;
  } else if constexpr (std::is_same_v<T, bool>) {
    if (s == "true" || s == "TRUE" || s == "True") return out = true, true;
    if (s == "false" || s == "FALSE" || s == "False") return out = false, true;
    return false;
  } else if constexpr (std::is_integral_v<T>) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || std::isspace(static_cast<unsigned char>(s[0]))) return false;
    if (v < static_cast<long long>(std::numeric_limits<T>::min()) ||
        v > static_cast<long long>(std::numeric_limits<T>::max()))
      return false;
    out = static_cast<T>(v);
    return true;
  } else if constexpr (std::is_floating_point_v<T>) {
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(s.c_str(), &end);
    if (errno == ERANGE || *end != '\0' || std::isspace(static_cast<unsigned char>(s[0])) ||
        !std::isfinite(v))
      return false;
    out = static_cast<T>(v);
    return true;
  } else if constexpr (std::is_same_v<T, Date>) {
    Date d;
    char sep = 0;
    int n = std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &d.year, &d.month, &d.day, &sep,
                        &d.hour, &d.minute, &d.second);
    bool whole =
        (n == 3 && s.size() == 10) || (n == 7 && (sep == ' ' || sep == 'T') && s.size() == 19);
    if (!whole || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 ||
        d.minute > 59 || d.second > 60 || d.hour < 0 || d.minute < 0 || d.second < 0)
      return false;
    out = d;
    return true;
  } else {
    static_assert(sizeof(T) == 0, "vy::get reads std::string, bool, integers, floats and Date");
  }
}

template <typename T>
const char* kindName() {
  if constexpr (std::is_same_v<T, bool>)
    return "a boolean";
  else if constexpr (std::is_integral_v<T>)
    return "an integer";
  else if constexpr (std::is_floating_point_v<T>)
    return "a number";
  else if constexpr (std::is_same_v<T, Date>)
    return "a date";
  else
    return "a text";
}

}  // namespace detail

// A typed value: nullopt when ignored or blank; AttrError when the text does not parse.
template <typename T>
std::optional<T> get(BusinessObject& bo, const Attr& attr) {
  std::optional<std::string_view> t = text(bo, attr);
  if (!t || t->empty()) return std::nullopt;
  T out{};
  if (!detail::parse(*t, out)) detail::notA(bo, attr.name(), *t, detail::kindName<T>());
  return out;
}
template <typename T>
std::optional<T> get(BusinessObject& bo, std::string_view attr) {
  return get<T>(bo, detail::find(bo, attr));
}

// A typed value that must be there: AttrError when ignored, blank or malformed.
template <typename T>
T require(BusinessObject& bo, const Attr& attr) {
  std::optional<T> v = get<T>(bo, attr);
  if (!v)
    throw AttrError(std::string(attr.name()) + " of " + detail::typeName(bo) + " has no value");
  return *v;
}
template <typename T>
T require(BusinessObject& bo, std::string_view attr) {
  return require<T>(bo, detail::find(bo, attr));
}

// ---- writing values ----

// Stores a text in a simple attribute under the attribute's own type; "" (or a null pointer)
// stores the blank marker. The object keeps its own copy. AttrError when the model refuses it.
inline void set(BusinessObject& bo, const Attr& attr, const char* value) {
  detail::simple(bo, attr);
  const void* stored = value == nullptr || *value == '\0' ? BusinessObject::BlankValue : value;
  if (bo.setAttrValue(attr.index(), stored, toInt(attr.type())) != 1)
    detail::misfit(bo, attr, detail::Misfit::Refused);
}
inline void set(BusinessObject& bo, const Attr& attr, const std::string& value) {
  set(bo, attr, value.c_str());
}
// A string_view need not end in a NUL, so this one copies it first.
inline void set(BusinessObject& bo, const Attr& attr, std::string_view value) {
  set(bo, attr, std::string(value));
}
inline void set(BusinessObject& bo, const Attr& attr, bool value) {
  set(bo, attr, value ? "true" : "false");
}
template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>>
void set(BusinessObject& bo, const Attr& attr, T value) {
  char buf[40];
  if constexpr (std::is_floating_point_v<T>)
    std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(value));
  else if constexpr (std::is_signed_v<T>)
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  else
    std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(value));
  set(bo, attr, static_cast<const char*>(buf));
}
inline void set(BusinessObject& bo, const Attr& attr, const Date& d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                d.minute, d.second);
  set(bo, attr, static_cast<const char*>(buf));
}
// By name: any value the Attr forms take.
template <typename V>
void set(BusinessObject& bo, std::string_view attr, const V& value) {
  set(bo, detail::find(bo, attr), value);
}

// The ignore marker: the attribute is left out of the request or answer. On an object
// attribute the children it held are deleted.
inline void ignore(BusinessObject& bo, const Attr& attr) {
  detail::belongs(bo, attr);
  bo.setAttrValue(attr.index(), BusinessObject::IgnoreValue, toInt(attr.type()));
}
inline void ignore(BusinessObject& bo, std::string_view attr) {
  ignore(bo, detail::find(bo, attr));
}

// ---- children ----

// The children of an object attribute as a range of BusinessObject&, whatever its cardinality
// (none, one, or a container; gaps left in a container are skipped).
class Children {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = BusinessObject;
    using difference_type = std::ptrdiff_t;
    using pointer = BusinessObject*;
    using reference = BusinessObject&;

    iterator(BusObjContainer* c, BusinessObject* single, int pos) : c_(c), cur_(single), pos_(pos) {
      skip();
    }
    BusinessObject& operator*() const { return *cur_; }
    BusinessObject* operator->() const { return cur_; }
    iterator& operator++() {
      ++pos_;
      skip();
      return *this;
    }
    bool operator==(const iterator& o) const { return pos_ == o.pos_; }
    bool operator!=(const iterator& o) const { return pos_ != o.pos_; }

   private:
    // Moves to the next child that is there (a container may hold gaps) and keeps it.
    void skip() {
      if (c_ == nullptr) return;
      for (int n = c_->getObjectCount(); pos_ < n; ++pos_) {
        if ((cur_ = c_->getObject(pos_)) != nullptr) return;
      }
    }
    BusObjContainer* c_;
    BusinessObject* cur_;  // the child at pos_ (the single child when c_ is null)
    int pos_;
  };

  Children(BusObjContainer* c, BusinessObject* single) : c_(c), single_(single) {}
  iterator begin() const { return iterator(c_, single_, 0); }
  iterator end() const { return iterator(c_, single_, endPos()); }
  bool empty() const { return begin() == end(); }
  size_t size() const {
    size_t n = 0;
    for (auto it = begin(); it != end(); ++it) ++n;
    return n;
  }

 private:
  int endPos() const {
    if (c_ != nullptr) return c_->getObjectCount();
    return single_ != nullptr ? 1 : 0;
  }
  BusObjContainer* c_;
  BusinessObject* single_;
};

inline Children children(BusinessObject& bo, const Attr& attr) {
  void* v = bo.getAttrValue(detail::object(bo, attr).index());
  if (v == nullptr || v == BusinessObject::BlankValue) return Children(nullptr, nullptr);
  if (attr.isMultiple()) return Children(static_cast<BusObjContainer*>(v), nullptr);
  return Children(nullptr, static_cast<BusinessObject*>(v));
}
inline Children children(BusinessObject& bo, std::string_view attr) {
  return children(bo, detail::find(bo, attr));
}

// Makes a child of the attribute's type and spec version (with `verb`, if given) and adds it:
// appended to a multiple attribute, replacing nothing of a single one that already holds a child
// (AttrError). The parent owns the child.
inline BusinessObject& addChild(BusinessObject& parent, const Attr& attr,
                                std::string_view verb = {}) {
  detail::object(parent, attr);
  if (!attr.isMultiple() && !children(parent, attr).empty())
    throw AttrError(std::string(attr.name()) + " of " + detail::typeName(parent) +
                    " holds a child already");
  // The model makes it of the spec version the attribute names.
  std::unique_ptr<BusinessObject> child(
      static_cast<BusinessObject*>(parent.makeNewAttrObject(attr.index())));
  if (child == nullptr || child->getSpecFor() == nullptr)
    throw AttrError("no spec is filed for " + std::string(attr.childType()));
  if (!verb.empty()) child->setVerb(std::string(verb).c_str());
  if (parent.setAttrValue(attr.index(), child.get(), toInt(AttrType::Object)) != 1)
    throw AttrError("cannot add a child to " + std::string(attr.name()) + " of " +
                    detail::typeName(parent));
  return *child.release();  // the parent owns it now
}
inline BusinessObject& addChild(BusinessObject& parent, std::string_view attr,
                                std::string_view verb = {}) {
  return addChild(parent, detail::find(parent, attr), verb);
}

// Deletes the children of an object attribute for which `drop(BusinessObject&)` is true (it is
// asked once per child, in order), and the gaps of a container; the others keep their order.
// Answers how many children were deleted.
template <typename A, typename Pred>
int removeChildren(BusinessObject& bo, const A& attr, Pred drop) {
  const Attr a = [&] {
    if constexpr (std::is_same_v<A, Attr>)
      return attr;
    else
      return detail::find(bo, attr);
  }();
  void* v = bo.getAttrValue(detail::object(bo, a).index());
  if (v == nullptr || v == BusinessObject::BlankValue) return 0;
  if (!a.isMultiple()) {
    if (!drop(*static_cast<BusinessObject*>(v))) return 0;
    ignore(bo, a);
    return 1;
  }
  auto* c = static_cast<BusObjContainer*>(v);
  int removed = 0;
  for (int i = 0; i < c->getObjectCount();) {
    BusinessObject* child = c->getObject(i);
    if (child != nullptr && !drop(*child)) {
      ++i;
      continue;
    }
    c->removeObjectAt(i);
    if (child != nullptr) ++removed;
  }
  return removed;
}

// ---- objects the connector makes ----

// A new object of a filed type, with `verb` if given. AttrError when no spec is filed for it.
inline std::unique_ptr<BusinessObject> makeObject(std::string_view type,
                                                  std::string_view verb = {}) {
  std::string name(type);
  auto bo = std::make_unique<BusinessObject>(name.c_str());
  if (bo->getSpecFor() == nullptr) throw AttrError("no spec is filed for " + name);
  if (!verb.empty()) bo->setVerb(std::string(verb).c_str());
  return bo;
}

inline std::unique_ptr<BusinessObject> clone(BusinessObject& bo) {
  return std::unique_ptr<BusinessObject>(bo.clone());
}

// Raises `bo` as an application event with `verb`: the agent's answer, kEventNotSubscribed when
// nobody subscribed to its name and verb, -1 when no connector is running. The object stays
// the caller's.
inline int raiseEvent(BusinessObject& bo, std::string_view verb) {
  bo.setVerb(std::string(verb).c_str());
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  SubscriptionHandlerCPP* subs = veneer != nullptr ? veneer->getTheSubHandler() : nullptr;
  return subs != nullptr ? subs->gotApplEvent(bo) : -1;
}

// ---- services with const texts ----

// 1 when the agent subscribed to events of the type and verb.
inline int isSubscribed(std::string_view type, std::string_view verb) {
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  if (veneer == nullptr) return 0;
  std::string t(type), v(verb);
  return veneer->isSubscribed(t.data(), v.data());
}

// Sends `bo` to a collaboration and waits: the status the agent answered; its answer replaces bo.
inline int consumeSync(std::string_view collab, BusinessObject& bo,
                       ReturnStatusDescriptor& status) {
  GenGlobals* globals = JToCPPVeneer::getTheAppGlob();
  if (globals == nullptr) return toInt(Status::Fail);
  std::string name(collab);
  return globals->consumeSync(name.data(), bo, status);
}

// A GenGlobals whose connector-facing members take and give const texts. Define one static
// object of a subclass, as with GenGlobals.
class Globals : public GenGlobals {
 public:
  // The handler for a type (the same one may serve every type); null refuses the type.
  virtual BOHandlerCPP* handlerFor(std::string_view type) = 0;
  // The connector's version text.
  virtual std::string_view version() const = 0;

  BOHandlerCPP* getBOHandlerforBO(char* type) final {
    return handlerFor(type != nullptr ? type : "");
  }
  char* getVersion() final {
    versionText_ = std::string(version());
    return versionText_.data();
  }

 private:
  std::string versionText_;
};

// ---- the handler base ----

// A BOHandlerCPP whose verbs are methods that may throw. A method that returns normally answers
// Success; a thrown VerbError answers its status, any other exception -1; either way its text
// goes on the status object and into the log (as an error). Override verb() to answer
// ValueChanged or any other status yourself.
class Handler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override {
    std::string failure;
    int result = toInt(Status::Fail);
    try {
      return toInt(verb(bo, bo.getVerb() != nullptr ? bo.getVerb() : ""));
    } catch (const VerbError& e) {
      failure = e.what();
      result = e.status();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "the connector failed with an exception that is not a std::exception";
    }
    if (status != nullptr) status->seterrMsg(failure.c_str());
    logMsg(failure.c_str(), KyMsgFormat::MLV_ERROR);
    return result;
  }

 protected:
  // Routes by verb; throw to fail.
  virtual Status verb(BusinessObject& bo, std::string_view verb) {
    if (verb == "Create")
      create(bo);
    else if (verb == "Retrieve")
      retrieve(bo);
    else if (verb == "Update")
      update(bo);
    else if (verb == "Delete")
      remove(bo);
    else
      return other(bo, verb);
    return Status::Success;
  }
  virtual void create(BusinessObject& bo) { unsupported(bo, "Create"); }
  virtual void retrieve(BusinessObject& bo) { unsupported(bo, "Retrieve"); }
  virtual void update(BusinessObject& bo) { unsupported(bo, "Update"); }
  virtual void remove(BusinessObject& bo) { unsupported(bo, "Delete"); }
  virtual Status other(BusinessObject& bo, std::string_view verb) { unsupported(bo, verb); }

  [[noreturn]] static void unsupported(BusinessObject& bo, std::string_view verb) {
    throw VerbError("the connector does not support " + std::string(verb) + " for " +
                    detail::typeName(bo));
  }
};

}  // namespace vy

#endif  // VY_MODERN_HPP
