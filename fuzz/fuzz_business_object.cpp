// The business object reader on wire texts (UTF-16LE input) against the fixed types, one of them
// recursive. A text either reads into an object of a known type or leaves the object without
// spec and with a reason; nothing in between.
//
// Checked for every object that reads: its message reads back into an object whose message is
// the same text; its parent-and-keys message reads back into the same layout; a clone has equal
// content; the readable dump fits or says it does not.
#include <cstdint>
#include <string>

#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzMessages.hpp"
#include "FuzzNative.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  vyfuzz::FuzzNative::initialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string units = vyfuzz::nativeWireInput(data, size);
  StringMessage input(reinterpret_cast<const unsigned short*>(units.c_str()));
  BusinessObject bo(input);
  if (bo.getTheSpec() == nullptr) {
    VY_FUZZ_CHECK(bo.getReadError() != nullptr, "an unreadable object without a reason");
    VY_FUZZ_CHECK(bo.getAttrValues() == nullptr, "an unreadable object kept values");
    return 0;
  }

  vyfuzz::checkMessageReadsBack(bo, "an object's own message does not read back",
                                "reading an object's message left tokens behind");

  // The parent-and-keys layout reads back into an object that writes the same layout.
  StringMessage* keys = bo.toStringMessageParentAndKeys();
  StringMessage keysCopy(keys->toUTF16String());
  BusinessObject keysOnly(keysCopy);
  VY_FUZZ_CHECK(keysOnly.getTheSpec() != nullptr, "a parent-and-keys message does not read back");
  StringMessage* keysAgain = keysOnly.toStringMessageParentAndKeys();
  VY_FUZZ_CHECK(vyfuzz::messageUnits(*keys) == vyfuzz::messageUnits(*keysAgain),
                "parent-and-keys changed on the way");
  delete keysAgain;
  delete keys;

  BusinessObject* twin = bo.clone();
  VY_FUZZ_CHECK(twin != nullptr && twin->equalsContent(&bo) == 0, "a clone differs");
  delete twin;

  char picture[2048];
  int n = bo.dump(picture, sizeof picture);
  VY_FUZZ_CHECK(n == -1 || (n >= 0 && n < static_cast<int>(sizeof picture)), "dump size");
  return 0;
}
