// The transaction business object reader on wire texts (UTF-16LE input): the base object, then
// the transaction section with or without its format version field.
//
// Checked for every object that reads: its message (base plus section) reads back into an object
// whose message is the same text, leaving no token behind; the reference values compare equal
// to the object read back.
#include <cstdint>
#include <string>

#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzMessages.hpp"
#include "FuzzNative.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"
#include "TransactionBusinessObject.hpp"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  vyfuzz::FuzzNative::initialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string units = vyfuzz::nativeWireInput(data, size);
  StringMessage input(reinterpret_cast<const unsigned short*>(units.c_str()));
  TransactionBusinessObject tbo(input);
  if (tbo.getTheSpec() == nullptr) {
    VY_FUZZ_CHECK(tbo.getReadError() != nullptr, "an unreadable object without a reason");
    return 0;
  }
  vyfuzz::checkMessageReadsBack(tbo, "a transaction object's message does not read back",
                                "reading a transaction message left tokens behind");

  StringMessage* base = tbo.toBusinessObjectString();
  StringMessage baseCopy(base->toUTF16String());
  BusinessObject plain(baseCopy);
  VY_FUZZ_CHECK(plain.getTheSpec() != nullptr, "the base message does not read back");
  delete base;
  tbo.equalsRefAttrs(plain);
  return 0;
}
