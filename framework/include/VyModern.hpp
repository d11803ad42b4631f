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
#include "BusinessObject.hpp"
#include "GenGlobals.hpp"
#include "JToCPPVeneer.hpp"
#include "KyMsgFormat.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "SubscriptionHandlerCPP.hpp"

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
  Success = 1,
  ValueChanged = -5,
  Fail = -1,
};
constexpr int toInt(Status s) { return static_cast<int>(s); }
// gotApplEvent's answer when the agent subscribed to nothing of that name and verb.
constexpr int kEventNotSubscribed = -10;

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

namespace detail {

inline std::string typeName(BusinessObject& bo) {
  return bo.getName() != nullptr ? bo.getName() : "an object without a spec";
}

// The attribute's index and description; AttrError when the type has no such attribute.
inline int indexOf(BusinessObject& bo, std::string_view attr, BOAttrType** desc) {
  BusObjSpec* spec = bo.getSpecFor();
  std::string name(attr);
  int index = spec != nullptr ? spec->getAttributeIndex(name.c_str()) : -1;
  BOAttrType* d = index >= 0 ? spec->getAttribute(index) : nullptr;
  if (d == nullptr) throw AttrError(typeName(bo) + " has no attribute " + name);
  if (desc != nullptr) *desc = d;
  return index;
}

inline int simpleIndex(BusinessObject& bo, std::string_view attr, BOAttrType** desc = nullptr) {
  BOAttrType* d = nullptr;
  int index = indexOf(bo, attr, &d);
  if (d->getTypeNum() == 0)
    throw AttrError(std::string(attr) + " of " + typeName(bo) + " holds objects, not a value");
  if (desc != nullptr) *desc = d;
  return index;
}

[[noreturn]] inline void notA(BusinessObject& bo, std::string_view attr, std::string_view text,
                              const char* what) {
  throw AttrError(std::string(attr) + " of " + typeName(bo) + " holds \"" + std::string(text) +
                  "\", not " + what);
}

}  // namespace detail

// ---- reading values ----

// The text of a simple attribute: nullopt when ignored, "" for the blank marker.
inline std::optional<std::string_view> text(BusinessObject& bo, std::string_view attr) {
  int index = detail::simpleIndex(bo, attr);
  void* v = bo.getAttrValue(index);
  if (v == nullptr) return std::nullopt;
  if (BusinessObject::isBlankValue(v)) return std::string_view();
  return std::string_view(static_cast<const char*>(v));
}

inline bool isIgnored(BusinessObject& bo, std::string_view attr) {
  return !text(bo, attr).has_value();
}

inline bool isBlank(BusinessObject& bo, std::string_view attr) {
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
std::optional<T> get(BusinessObject& bo, std::string_view attr) {
  std::optional<std::string_view> t = text(bo, attr);
  if (!t || t->empty()) return std::nullopt;
  T out{};
  if (!detail::parse(*t, out)) detail::notA(bo, attr, *t, detail::kindName<T>());
  return out;
}

// A typed value that must be there: AttrError when ignored, blank or malformed.
template <typename T>
T require(BusinessObject& bo, std::string_view attr) {
  std::optional<T> v = get<T>(bo, attr);
  if (!v) throw AttrError(std::string(attr) + " of " + detail::typeName(bo) + " has no value");
  return *v;
}

// ---- writing values ----

// Stores a text in a simple attribute under the attribute's own type; "" stores the blank
// marker. AttrError when the model refuses it.
inline void set(BusinessObject& bo, std::string_view attr, std::string_view value) {
  BOAttrType* d = nullptr;
  int index = detail::simpleIndex(bo, attr, &d);
  std::string copy(value);
  const void* stored = copy.empty() ? BusinessObject::BlankValue : copy.c_str();
  if (bo.setAttrValue(index, stored, d->getTypeNum()) != 1)
    throw AttrError("cannot set " + std::string(attr) + " of " + detail::typeName(bo));
}
inline void set(BusinessObject& bo, std::string_view attr, const char* value) {
  set(bo, attr, std::string_view(value != nullptr ? value : ""));
}
inline void set(BusinessObject& bo, std::string_view attr, const std::string& value) {
  set(bo, attr, std::string_view(value));
}
inline void set(BusinessObject& bo, std::string_view attr, bool value) {
  set(bo, attr, std::string_view(value ? "true" : "false"));
}
template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>>
void set(BusinessObject& bo, std::string_view attr, T value) {
  if constexpr (std::is_floating_point_v<T>) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(value));
    set(bo, attr, std::string_view(buf));
  } else {
    set(bo, attr, std::string_view(std::to_string(value)));
  }
}
inline void set(BusinessObject& bo, std::string_view attr, const Date& d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                d.minute, d.second);
  set(bo, attr, std::string_view(buf));
}

// The ignore marker: the attribute is left out of the request or answer.
inline void ignore(BusinessObject& bo, std::string_view attr) {
  BOAttrType* d = nullptr;
  int index = detail::indexOf(bo, attr, &d);
  bo.setAttrValue(index, BusinessObject::IgnoreValue, d->getTypeNum());
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

    iterator(BusObjContainer* c, BusinessObject* single, int pos)
        : c_(c), single_(single), pos_(pos) {
      skip();
    }
    BusinessObject& operator*() const { return c_ != nullptr ? *c_->getObject(pos_) : *single_; }
    BusinessObject* operator->() const { return &**this; }
    iterator& operator++() {
      ++pos_;
      skip();
      return *this;
    }
    bool operator==(const iterator& o) const { return pos_ == o.pos_; }
    bool operator!=(const iterator& o) const { return pos_ != o.pos_; }

   private:
    void skip() {
      if (c_ != nullptr) {
        while (pos_ < c_->getObjectCount() && c_->getObject(pos_) == nullptr) ++pos_;
      }
    }
    BusObjContainer* c_;
    BusinessObject* single_;
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

inline Children children(BusinessObject& bo, std::string_view attr) {
  BOAttrType* d = nullptr;
  int index = detail::indexOf(bo, attr, &d);
  if (d->getTypeNum() != 0)
    throw AttrError(std::string(attr) + " of " + detail::typeName(bo) +
                    " holds a value, not objects");
  void* v = bo.getAttrValue(index);
  if (v == nullptr || v == BusinessObject::BlankValue) return Children(nullptr, nullptr);
  if (d->isMultipleCard()) return Children(static_cast<BusObjContainer*>(v), nullptr);
  return Children(nullptr, static_cast<BusinessObject*>(v));
}

// Makes a child of the attribute's type (with `verb`, if given) and adds it: appended to a
// multiple attribute, replacing nothing of a single one that already holds a child (AttrError).
// The parent owns the child.
inline BusinessObject& addChild(BusinessObject& parent, std::string_view attr,
                                std::string_view verb = {}) {
  BOAttrType* d = nullptr;
  int index = detail::indexOf(parent, attr, &d);
  if (d->getTypeNum() != 0 || d->getTypeName() == nullptr)
    throw AttrError(std::string(attr) + " of " + detail::typeName(parent) +
                    " holds a value, not objects");
  if (!d->isMultipleCard()) {
    void* held = parent.getAttrValue(index);
    if (held != nullptr && held != BusinessObject::BlankValue)
      throw AttrError(std::string(attr) + " of " + detail::typeName(parent) +
                      " holds a child already");
  }
  auto child = std::make_unique<BusinessObject>(d->getTypeName());
  if (child->getSpecFor() == nullptr)
    throw AttrError(std::string("no spec is filed for ") + d->getTypeName());
  if (!verb.empty()) child->setVerb(std::string(verb).c_str());
  if (parent.setAttrValue(index, child.get(), toInt(AttrType::Object)) != 1)
    throw AttrError("cannot add a child to " + std::string(attr) + " of " +
                    detail::typeName(parent));
  return *child.release();  // the parent owns it now
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
