#include "StringHash.hpp"

#include <cstring>

StringHash::~StringHash() = default;

unsigned long StringHash::hash() const { return str_.hash(); }

int StringHash::isEqual(const Hashable& other) const {
  return std::strcmp(static_cast<const StringHash&>(other).str_.chars(), str_.chars()) == 0;
}
