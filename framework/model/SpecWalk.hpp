// Attribute access for the walks that visit every attribute of an object in order (reading,
// writing, releasing): the index is known to be in range, so the entry is taken in place rather
// than through BusObjSpec's range-checked call.
#ifndef VY_SPEC_WALK_HPP
#define VY_SPEC_WALK_HPP

#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"

namespace vy {

// Entry `index` of `spec`, for 0 <= index < spec->getAttributeCount().
inline BOAttrType* attrAt(const BusObjSpec* spec, int index) { return spec->getAttrList() + index; }

}  // namespace vy

#endif  // VY_SPEC_WALK_HPP
