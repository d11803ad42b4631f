// The load driver's readable formats on the native side: spec blocks to spec wire texts, object
// blocks to Objects and back. Errors throw vy::testing::Error with "line N: reason".
#ifndef VY_TESTING_READABLE_TEXT_HPP
#define VY_TESTING_READABLE_TEXT_HPP

#include <string>
#include <vector>

#include "VyTesting.hpp"

namespace vy {
namespace testing {

// The spec wire text of every "type ... end" block, in order.
std::vector<std::string> specWiresFromText(const std::string& text);

// The object of an "object ... end" block; types and attributes are checked against the specs
// filed in the process.
Object objectFromText(const std::string& text);

// The readable block of an object.
std::string objectToText(const Object& object);

}  // namespace testing
}  // namespace vy

#endif  // VY_TESTING_READABLE_TEXT_HPP
