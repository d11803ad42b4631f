// The business object reader on wire texts (UTF-16LE input) against the fixed types, one of them
// recursive. A text either reads into an object of a known type or leaves the object without
// spec and with a reason; nothing in between.
//
// Checked for every object that reads: its message reads back into an object whose message is
// the same text; its parent-and-keys message reads back into the same layout; a clone has equal
// content; the readable dump fits or says it does not.
#include <cstdint>
#include <memory>
#include <string>

#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzMessages.hpp"
#include "StringMessage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vyfuzz::WireInput input(data, size);
  BusinessObject bo(input.message());
  if (!vyfuzz::readOrExplained(bo)) {
    VY_FUZZ_CHECK(bo.getAttrValues() == nullptr, "an unreadable object kept values");
    return 0;
  }

  vyfuzz::checkMessageReadsBack(bo, "an object's own message does not read back",
                                "reading an object's message left tokens behind");

  // The parent-and-keys layout reads back into an object that writes the same layout.
  std::unique_ptr<StringMessage> keys(bo.toStringMessageParentAndKeys());
  std::unique_ptr<BusinessObject> keysOnly =
      vyfuzz::readBack(*keys, "a parent-and-keys message does not read back");
  VY_FUZZ_CHECK(vyfuzz::messageUnits(*keys) ==
                    vyfuzz::messageUnits(*keysOnly, &BusinessObject::toStringMessageParentAndKeys),
                "parent-and-keys changed on the way");

  BusinessObject* twin = bo.clone();
  VY_FUZZ_CHECK(twin != nullptr && twin->equalsContent(&bo) == 0, "a clone differs");
  delete twin;

  char picture[2048];
  int n = bo.dump(picture, sizeof picture);
  VY_FUZZ_CHECK(n == -1 || (n >= 0 && n < static_cast<int>(sizeof picture)), "dump size");
  return 0;
}
