// Whole requests through the agent: n_DoVerbFor on arbitrary UTF-16 bucket texts (U+0000 and
// lone surrogates included), as plain or transaction objects. A malformed request is a failed
// request: status -1, an error text, and the bucket still holds the request text unchanged. A
// request that succeeds leaves a text in the bucket that reads back as an object.
//
// Input: the first byte's low bit picks a transaction request; the rest is UTF-16LE units.
#include <cstdint>
#include <string>

#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzJvm.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"
#include "TransactionBusinessObject.hpp"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  vyfuzz::FuzzJvm::initialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static unsigned runs = 0;
  if (++runs % 4096 == 0) vyfuzz::FuzzJvm::clearRecords();
  bool transactional = (data[0] & 1) != 0;
  std::u16string request = vyfuzz::FuzzSpecs::unitsOf(data + 1, size - 1);
  vyfuzz::VerbOutcome out = vyfuzz::FuzzJvm::doVerbFor(request, transactional);
  if (out.status != 1) {
    VY_FUZZ_CHECK(out.status == -1, "a request failed with a status other than -1");
    VY_FUZZ_CHECK(out.hasError, "a failed request without an error text");
    VY_FUZZ_CHECK(out.content == request, "a failed request changed the bucket");
    return 0;
  }
  StringMessage back(reinterpret_cast<const unsigned short*>(out.content.c_str()));
  if (transactional) {
    TransactionBusinessObject bo(back);
    VY_FUZZ_CHECK(bo.getTheSpec() != nullptr, "the written-back transaction object does not read");
  } else {
    BusinessObject bo(back);
    VY_FUZZ_CHECK(bo.getTheSpec() != nullptr, "the written-back object does not read");
  }
  return 0;
}
