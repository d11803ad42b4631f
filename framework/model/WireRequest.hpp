// A request's business object between the agent's text and the handler: read in place from the
// agent's UTF-16 units, and written straight back as UTF-16 units, with no StringMessage on the
// way. The texts match what StringMessage-based reading and writing give, field for field.
#ifndef VY_WIRE_REQUEST_HPP
#define VY_WIRE_REQUEST_HPP

#include <cstddef>
#include <cstdint>
#include <memory>

#include "VyExport.hpp"
#include "WireTokens.hpp"

class BusinessObject;
class ReturnStatusDescriptor;
class StringMessage;
class TransactionBusinessObject;

namespace vy {

// A wire text in the calling thread's buffer: valid until the thread writes the next one.
struct Units {
  const uint16_t* data;
  size_t length;
};

// The full layout of the tree of `bo` (what toStringMessage holds).
VY_EXPORT Units wireUnits(BusinessObject& bo);

// Appends the transaction section of `tbo` to `message`.
void appendSection(TransactionBusinessObject& tbo, StringMessage& message);

// One request's object, plain or transactional, owned here.
class VY_EXPORT RequestObject {
 public:
  // Reads `length` units (not necessarily terminated; the text may hold U+0000 anywhere).
  RequestObject(const unsigned short* units, size_t length, bool transactional);
  ~RequestObject();
  RequestObject(const RequestObject&) = delete;
  RequestObject& operator=(const RequestObject&) = delete;

  BusinessObject& object();
  // The handler's verb processing: doVerbFor of the object's own kind.
  int doVerbFor(ReturnStatusDescriptor* status);
  // The processed object's text: the object, then its transaction section when it has one.
  Units wireUnits();

 private:
  std::unique_ptr<BusinessObject> plain_;
  std::unique_ptr<TransactionBusinessObject> transaction_;
  FieldSources sources_;  // the values converted exactly, for write-back
};

}  // namespace vy

#endif  // VY_WIRE_REQUEST_HPP
