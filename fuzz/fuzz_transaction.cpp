// The transaction business object reader on wire texts (UTF-16LE input): the base object, then
// the transaction section with or without its format version field.
//
// Checked for every object that reads: its message (base plus section) reads back into an object
// whose message is the same text, leaving no token behind; the reference values compare equal
// to the object read back.
#include <cstdint>
#include <memory>
#include <string>

#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzMessages.hpp"
#include "StringMessage.hpp"
#include "TransactionBusinessObject.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vyfuzz::WireInput input(data, size);
  TransactionBusinessObject tbo(input.message());
  if (!vyfuzz::readOrExplained(tbo)) return 0;
  vyfuzz::checkMessageReadsBack(tbo, "a transaction object's message does not read back",
                                "reading a transaction message left tokens behind");

  std::unique_ptr<StringMessage> base(tbo.toBusinessObjectString());
  tbo.equalsRefAttrs(*vyfuzz::readBack(*base, "the base message does not read back"));
  return 0;
}
