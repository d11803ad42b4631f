// BusObjAndSpecSerializer::deSerialize on arbitrary native text (the input bytes up to
// the first NUL, in the agent's encoding UTF-8): a packed object (serialize) either unpacks or
// gives null, filing nothing it cannot read.
//
// Checked for every object that unpacks with a spec: packing it again and unpacking that gives an
// object with the same message. The directory is put back to the fixed types after every input.
#include <cstdint>

#include "BusObjAndSpecSerializer.hpp"
#include "BusinessObject.hpp"
#include "FuzzMessages.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vyfuzz::unpackInput(data, size, BusObjAndSpecSerializer::serialize,
                             BusObjAndSpecSerializer::deSerialize,
                             &BusinessObject::toStringMessage);
}
