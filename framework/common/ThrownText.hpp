// What connector code threw, in words: a std::exception's type and what(), a thrown text, a
// thrown number, the type of anything else. Used wherever the kit runs connector code and must
// report its failure (the entry points through ConnectorFault.hpp, the test kit). Header-only:
// the test kit is a library of its own and cannot reach libVyConnector's hidden symbols.
#ifndef VY_THROWN_TEXT_HPP
#define VY_THROWN_TEXT_HPP

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <typeinfo>

namespace vy {

// What was thrown, described.
struct Thrown {
  enum Kind {
    kInt,        // an int, thrown as such
    kCharText,   // a const char* or char*
    kText,       // a std::string
    kNumber,     // another integer or floating type
    kException,  // a std::exception or a class derived from it
    kOther,      // anything else
  };
  Kind kind = kOther;
  int intValue = 0;     // kInt
  std::string text;     // kCharText, kText: the text as thrown, whole
  std::string summary;  // for the author: `std::runtime_error: disk full`, `the int 7`, ...
};

// Thrown texts and what() are cut to this many bytes in summaries.
constexpr size_t kMaxThrownText = 2000;

inline std::string demangledName(const char* mangled) {
  if (mangled == nullptr) return std::string();
  int status = 0;
  char* name = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string out = status == 0 && name != nullptr ? name : mangled;
  std::free(name);
  return out;
}

inline std::string demangledName(const std::type_info& type) { return demangledName(type.name()); }

namespace thrown_detail {

inline std::string cut(const char* text) {
  std::string out(text);
  if (out.size() > kMaxThrownText) {
    out.resize(kMaxThrownText);
    out += "...";
  }
  return out;
}

template <typename Number>
Thrown number(const char* typeName, Number value) {
  std::ostringstream out;
  out << "the " << typeName << ' ' << value;
  Thrown t;
  t.kind = Thrown::kNumber;
  t.summary = out.str();
  return t;
}

inline Thrown text(Thrown::Kind kind, const char* value) {
  Thrown t;
  t.kind = kind;
  if (value == nullptr) {
    t.summary = "a null text";
    return t;
  }
  t.text = value;
  t.summary = "the text \"" + cut(value) + "\"";
  return t;
}

}  // namespace thrown_detail

// Describes the exception `thrown` holds (an empty pointer gives kOther, "nothing").
inline Thrown classifyThrown(std::exception_ptr thrown) {
  using thrown_detail::number;
  if (!thrown) {
    Thrown t;
    t.summary = "nothing";
    return t;
  }
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& e) {
    Thrown t;
    t.kind = Thrown::kException;
    std::string what = e.what() != nullptr ? thrown_detail::cut(e.what()) : std::string();
    t.summary = demangledName(typeid(e));
    t.summary += what.empty() ? std::string(" (its what() is empty)") : ": " + what;
    return t;
  } catch (int value) {
    Thrown t;
    t.kind = Thrown::kInt;
    t.intValue = value;
    t.summary = "the int " + std::to_string(value);
    return t;
  } catch (const char* value) {  // also a thrown char*
    return thrown_detail::text(Thrown::kCharText, value);
  } catch (const std::string& value) {
    return thrown_detail::text(Thrown::kText, value.c_str());
  } catch (long value) {
    return number("long", value);
  } catch (long long value) {
    return number("long long", value);
  } catch (unsigned value) {
    return number("unsigned int", value);
  } catch (unsigned long value) {
    return number("unsigned long", value);
  } catch (unsigned long long value) {
    return number("unsigned long long", value);
  } catch (short value) {
    return number("short", value);
  } catch (unsigned short value) {
    return number("unsigned short", value);
  } catch (double value) {
    return number("double", value);
  } catch (float value) {
    return number("float", value);
  } catch (...) {
    Thrown t;
    std::type_info* type = abi::__cxa_current_exception_type();
    t.summary = type != nullptr ? "an object of type " + demangledName(*type)
                                : "an object of a type that cannot be named";
    return t;
  }
}

// The summary alone.
inline std::string describeThrown(std::exception_ptr thrown) {
  return classifyThrown(thrown).summary;
}

}  // namespace vy

#endif  // VY_THROWN_TEXT_HPP
