// The fixed business object types every fuzz target and the seed generator know, as spec wire
// texts (UTF-16). Together they use every simple type, both cardinalities, keys, defaults and a
// recursive type:
//   Item  (Id key, Qty Integer, Price Double, Rate Float, Flag Boolean, When Date, Note LongText)
//   Node  (Id key, Label, Kids Node n, Next Node 1)                      -- recursive
//   Order (Id key, Lines Item n, Owner Node 1, Comment with a default, ObjectEventId)
// Threads: the texts are built once and only read afterwards.
#ifndef VY_FUZZ_SPECS_HPP
#define VY_FUZZ_SPECS_HPP

#include <string>
#include <vector>

namespace vyfuzz {

class FuzzSpecs {
 public:
  // The spec texts, in announcing order (children's types first).
  static const std::vector<std::u16string>& all();
  // Joins UTF-8 field texts into a wire text with the delimiter U+0003 (as the tests join them).
  static std::u16string wire(const std::vector<std::string>& fields);
  // A fuzz input as UTF-16 units: pairs of bytes, little-endian; an odd last byte is dropped.
  static std::u16string unitsOf(const unsigned char* data, size_t size);
};

}  // namespace vyfuzz

#endif  // VY_FUZZ_SPECS_HPP
