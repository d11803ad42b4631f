// Pieces the native fuzz targets share: the start of every input, the units of a message, and the
// pack-again check of the serializer targets.
//
// Threads: called on the thread that fuzzes.
#ifndef VY_FUZZ_MESSAGES_HPP
#define VY_FUZZ_MESSAGES_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzNative.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"

namespace vyfuzz {

// Counts an input; every 4096 inputs the native port's records are cleared, so its lists stay
// small.
inline void countNativeInput() {
  static unsigned runs = 0;
  if (++runs % 4096 == 0) FuzzNative::clearRecords();
}

// The start of an input of a target that reads wire texts: counts it and gives its UTF-16 units.
inline std::u16string nativeWireInput(const uint8_t* data, size_t size) {
  countNativeInput();
  return FuzzSpecs::unitsOf(data, size);
}

// The UTF-16 units of a message's text.
inline std::u16string messageUnits(const StringMessage& msg) {
  return std::u16string(reinterpret_cast<const char16_t*>(msg.toUTF16String()),
                        msg.getCurrentUTF16Size());
}

// The units of the message `write` makes of an object (a BusinessObject member giving a new
// StringMessage), deleted again.
inline std::u16string messageUnits(BusinessObject& bo, StringMessage* (BusinessObject::*write)()) {
  StringMessage* m = (bo.*write)();
  std::u16string out = messageUnits(*m);
  delete m;
  return out;
}

// For an object a serializer unpacked (nothing to do without one or without spec): packing it
// again with `pack` and unpacking that with `unpack` gives an object whose message (`write`) is
// the same.
template <class Pack, class Unpack>
void checkPacksAgain(BusinessObject* bo, Pack pack, Unpack unpack,
                     StringMessage* (BusinessObject::*write)()) {
  if (bo == nullptr || bo->getTheSpec() == nullptr) return;
  char* packed = pack(bo);
  VY_FUZZ_CHECK(packed != nullptr, "an unpacked object does not pack again");
  BusinessObject* again = unpack(packed);
  std::free(packed);
  VY_FUZZ_CHECK(again != nullptr && again->getTheSpec() != nullptr,
                "an object packed by the kit does not unpack");
  VY_FUZZ_CHECK(messageUnits(*bo, write) == messageUnits(*again, write),
                "packed and unpacked again differs");
  delete again;
}

}  // namespace vyfuzz

#endif  // VY_FUZZ_MESSAGES_HPP
