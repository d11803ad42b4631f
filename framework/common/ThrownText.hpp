// What connector code threw, in words: a std::exception's type and what(), a thrown text, a
// thrown number. Used wherever the kit runs connector code and must report its failure.
#ifndef VY_THROWN_TEXT_HPP
#define VY_THROWN_TEXT_HPP

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

namespace vy {

inline std::string demangledName(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string out = status == 0 && name != nullptr ? name : type.name();
  std::free(name);
  return out;
}

inline std::string describeThrown(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& e) {
    return demangledName(typeid(e)) + ": " + e.what();
  } catch (const char* text) {
    return std::string("the text \"") + (text ? text : "") + "\"";
  } catch (const std::string& text) {
    return "the text \"" + text + "\"";
  } catch (int n) {
    return "the number " + std::to_string(n);
  } catch (long n) {
    return "the number " + std::to_string(n);
  } catch (unsigned n) {
    return "the number " + std::to_string(n);
  } catch (...) {
    return "an exception of a type the kit does not know";
  }
}

}  // namespace vy

#endif  // VY_THROWN_TEXT_HPP
