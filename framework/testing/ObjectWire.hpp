// Objects to and from the business object wire format, through the model: the specs they use
// must be filed.
#ifndef VY_TESTING_OBJECT_WIRE_HPP
#define VY_TESTING_OBJECT_WIRE_HPP

#include <string>

#include "VyTesting.hpp"

class BusinessObject;
class StringMessage;

namespace vy {
namespace testing {

// The object's wire text as UTF-16 units (what crosses to the connector). Throws Error for a
// type or attribute no filed spec knows.
std::u16string objectToWire(const Object& object);

// The object a business object holds.
Object objectFrom(BusinessObject& bo);

// Reads a wire text as the bridge does; throws Error when it cannot be read.
Object objectFromWire(const std::u16string& wire);

}  // namespace testing
}  // namespace vy

#endif  // VY_TESTING_OBJECT_WIRE_HPP
