// BusObjAndSpecSerializer::deSerializeParentSpecAndKeys on arbitrary native text (the input bytes
// up to the first NUL, in the agent's encoding UTF-8): a packed parent-and-keys text
// (serializeParentSpecAndKeys) either unpacks or gives null, filing nothing it cannot read.
//
// Checked for every object that unpacks with a spec: packing it again and unpacking that gives an
// object with the same parent-and-keys message. The directory is put back to the fixed types
// after every input.
#include <cstdint>

#include "BusObjAndSpecSerializer.hpp"
#include "BusinessObject.hpp"
#include "FuzzMessages.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Compared on the parent-and-keys message: all that the packing carries (an unpacked text may
  // have had children or a delta flag that the packing drops on purpose).
  return vyfuzz::unpackInput(data, size, BusObjAndSpecSerializer::serializeParentSpecAndKeys,
                             BusObjAndSpecSerializer::deSerializeParentSpecAndKeys,
                             &BusinessObject::toStringMessageParentAndKeys);
}
