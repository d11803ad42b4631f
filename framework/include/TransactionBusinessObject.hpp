// A business object that also carries reference values: a second set of attribute values of the
// same spec describing the state the application is expected to hold. Its doVerbFor hands it to
// the handler's best-effort processing (BOHandlerCPP::doBestEffort), which retrieves the current
// state, compares it with the reference values and only then performs the verb.
//
// Wire form: the complete base object message, then the transaction section: the kind marker
// "TransactionBusinessObject", the format version "4.2.0.0", spec name, spec version, verb (or
// "null"), the attribute count and one value group per attribute taken from the reference
// values. Reference containers are written as the object count followed by the children, with
// no container delta flag. The reader accepts the section with or without the format version.
//
// Reference slots follow the rules of the base class's value slots (ignore marker, blank marker,
// owned text, owned child, owned container); the array exists only when the object has a spec,
// every slot starting ignored.
//
// Neither this class nor BusinessObject has virtual operations: doVerbFor, toStringMessage and
// the destructor hide the base ones, so hold and delete a transaction object through its own
// type. Read as a BusinessObject, it answers getSpecFor() and getReadError() like any object.
//
// Ownership: the object owns its reference values and their children; messages returned by
// toStringMessage and toBusinessObjectString belong to the caller (delete).
//
// Failures: a message whose transaction section is missing leaves every reference value absent.
// A section naming an unknown spec, a count that does not match the spec's, or a section cut
// short leaves the object without spec and with a getReadError() text (message 64 is logged for
// an unknown spec or a count mismatch). Refused reference sets log message 72 or 73 (MLV_FATAL).
//
// Threads: one thread uses an object at a time.
#ifndef VY_TRANSACTION_BUSINESS_OBJECT_HPP
#define VY_TRANSACTION_BUSINESS_OBJECT_HPP

#include "BusinessObject.hpp"
#include "VyExport.hpp"

class ReturnStatusDescriptor;
class StringMessage;

class VY_EXPORT TransactionBusinessObject : public BusinessObject {
 public:
  // The kind marker and format version of the transaction section.
  static const char* const KIND_MARKER;     // "TransactionBusinessObject"
  static const char* const FORMAT_VERSION;  // "4.2.0.0"

  // Reads the base object, then the transaction section from the same token stream, leaving the
  // read position after the section. See Failures above.
  explicit TransactionBusinessObject(StringMessage& message);
  // Frees the reference values (never the blank marker), then the base object.
  ~TransactionBusinessObject();
  TransactionBusinessObject(const TransactionBusinessObject&) = delete;
  TransactionBusinessObject& operator=(const TransactionBusinessObject&) = delete;

  // Reads a transaction section from the message's current position, replacing any reference
  // values held. Returns 1 when a section was read, 0 when the next token is not the kind
  // marker (no reference values), -1 on a malformed section (the object loses its spec).
  int initrefValues(StringMessage& message);

  // The reference slot; for an unknown attribute message 73 (index, "Unknown") and null.
  void* getRefAttrValue(int index);
  void* getRefAttrValue(const char* name);
  // setReferenceAttributeValue; on refusal message 73 (index, type) or 72 (name, type).
  void setRefAttrValue(int index, const void* value, int type);
  void setRefAttrValue(const char* name, const void* value, int type);
  // BusinessObject::setAttributeValue's storing rule applied to the reference values (texts
  // copied, children taken over with this object as parent). 1 stored, 0 refused.
  int setReferenceAttributeValue(int index, const void* value, int type);

  // 0 when other's values agree with the reference values, -1 otherwise. Every attribute is
  // compared; a value missing on either side counts as equal.
  int equalsRefAttrs(BusinessObject& other);

  // The spec's handler's doBestEffort(*this, status); -1 with an error text on `status` when the
  // object has no spec or the spec no handler.
  int doVerbFor(ReturnStatusDescriptor* status);

  // A new message: the base object's message followed by the transaction section. The caller
  // deletes it.
  StringMessage* toStringMessage();
  // Appends the transaction section to `message`.
  void toStringMessageT(StringMessage& message);
  // A new message holding the base object's message only. The caller deletes it.
  StringMessage* toBusinessObjectString();

 private:
  friend class vy::RequestObject;

  // Reads the base object, then the transaction section, from one stream of fields.
  explicit TransactionBusinessObject(vy::WireTokens& in);
  int readSection(vy::WireTokens& in);
  void releaseRefValues();
  // Drops the reference values and leaves the object as a malformed read does: no spec, and
  // `what` (with `detail`) as the read error.
  void failSection(const char* what, const char* detail);

  void** refValues;
};

#endif  // VY_TRANSACTION_BUSINESS_OBJECT_HPP
