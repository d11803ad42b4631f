// Whether loading a connector library registered a connector. A library already in the process
// registered (or not) when it was first loaded; a library loaded now registers while it loads, by
// constructing its static GenGlobals object. A library that loads now and registers nothing has
// no GenGlobals object, whatever connector loaded before it is still registered.
#ifndef VY_TESTING_LIBRARY_LOAD_HPP
#define VY_TESTING_LIBRARY_LOAD_HPP

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "JToCPPVeneer.hpp"

namespace vy {
namespace testing {

class LibraryLoad {
 public:
  // Call just before the library is loaded (by dlopen or by the JVM).
  explicit LibraryLoad(const std::string& path)
      : key_(canonical(path)), globalsBefore_(JToCPPVeneer::getTheAppGlob()) {
    void* loaded = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    wasLoaded_ = loaded != nullptr;
    if (loaded != nullptr) dlclose(loaded);
  }
  // Call once it is loaded: true when the library registered no connector, now or when the kit
  // first loaded it in this process.
  bool registeredNothing() const {
    std::lock_guard<std::mutex> guard(lock());
    auto known = outcomes().find(key_);
    if (known != outcomes().end()) return known->second;
    if (wasLoaded_) return false;  // loaded outside the kit (linked in): it registered then
    bool nothing = JToCPPVeneer::getTheAppGlob() == globalsBefore_;
    outcomes()[key_] = nothing;
    return nothing;
  }

 private:
  static std::string canonical(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    std::string out = real != nullptr ? real : path;
    std::free(real);
    return out;
  }
  static std::mutex& lock() {
    static std::mutex m;
    return m;
  }
  static std::map<std::string, bool>& outcomes() {
    static std::map<std::string, bool> m;
    return m;
  }

  std::string key_;
  GenGlobals* globalsBefore_;
  bool wasLoaded_;
};

}  // namespace testing
}  // namespace vy

#endif  // VY_TESTING_LIBRARY_LOAD_HPP
