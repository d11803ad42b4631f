// BusObjAndSpecSerializer::deSerializeParentSpecAndKeys on arbitrary native text (the input bytes
// up to the first NUL, in the agent's encoding UTF-8): a packed parent-and-keys text
// (serializeParentSpecAndKeys) either unpacks or gives null, filing nothing it cannot read.
//
// Checked for every object that unpacks with a spec: packing it again and unpacking that gives an
// object with the same parent-and-keys message. The directory is put back to the fixed types
// after every input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BusObjAndSpecSerializer.hpp"
#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzDirectory.hpp"
#include "FuzzNative.hpp"
#include "StringMessage.hpp"

namespace {

std::u16string unitsOf(const StringMessage& msg) {
  return std::u16string(reinterpret_cast<const char16_t*>(msg.toUTF16String()),
                        msg.getCurrentUTF16Size());
}

// The parent-and-keys message: all that the packing carries (an unpacked text may have had
// children or a delta flag that the packing drops on purpose).
std::u16string messageOf(BusinessObject& bo) {
  StringMessage* m = bo.toStringMessageParentAndKeys();
  std::u16string out = unitsOf(*m);
  delete m;
  return out;
}

void check(BusinessObject* bo) {
  if (bo == nullptr || bo->getTheSpec() == nullptr) return;
  char* packed = BusObjAndSpecSerializer::serializeParentSpecAndKeys(bo);
  VY_FUZZ_CHECK(packed != nullptr, "an unpacked object does not pack again");
  BusinessObject* again = BusObjAndSpecSerializer::deSerializeParentSpecAndKeys(packed);
  std::free(packed);
  VY_FUZZ_CHECK(again != nullptr && again->getTheSpec() != nullptr,
                "an object packed by the kit does not unpack");
  VY_FUZZ_CHECK(messageOf(*bo) == messageOf(*again), "packed and unpacked again differs");
  delete again;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  vyfuzz::FuzzNative::initialize(argc, argv);
  vyfuzz::FuzzDirectory::snapshot();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static unsigned runs = 0;
  if (++runs % 4096 == 0) vyfuzz::FuzzNative::clearRecords();
  std::string text(reinterpret_cast<const char*>(data), size);
  BusinessObject* bo = BusObjAndSpecSerializer::deSerializeParentSpecAndKeys(text.c_str());
  check(bo);
  delete bo;
  vyfuzz::FuzzDirectory::restore();
  return 0;
}
