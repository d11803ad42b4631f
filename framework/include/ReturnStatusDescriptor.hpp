// The outcome of a verb or collaboration request besides its integer result: a status number
// and an optional error text.
//
// String form: a StringMessage of three fields, "ReturnStatusDescriptor", the status in decimal,
// and the error text or "null" when there is none.
// Ownership: the descriptor owns its error text; getErrorMsg's pointer stays valid until the next
// seterrMsg or destruction; toStringMessage returns a new message the caller owns.
// Threads: one thread at a time.
#ifndef VY_RETURN_STATUS_DESCRIPTOR_HPP
#define VY_RETURN_STATUS_DESCRIPTOR_HPP

#include "VyExport.hpp"

class StringMessage;

class VY_EXPORT ReturnStatusDescriptor {
 public:
  // A one-character text, the control character 0x04.
  static const char* const RETURN_DELIM;

  ReturnStatusDescriptor();
  explicit ReturnStatusDescriptor(const char* msg);
  ReturnStatusDescriptor(int status, const char* msg);
  // Reads the string form; fewer than three tokens give status 0 and no text.
  explicit ReturnStatusDescriptor(StringMessage* msg);
  ~ReturnStatusDescriptor();
  ReturnStatusDescriptor(const ReturnStatusDescriptor&) = delete;
  ReturnStatusDescriptor& operator=(const ReturnStatusDescriptor&) = delete;

  // Replaces the text with a copy of `msg`; null leaves no text.
  void seterrMsg(const char* msg);
  char* getErrorMsg() const { return errMsg; }
  void setStatus(int s) { status = s; }
  int getStatus() const { return status; }
  StringMessage* toStringMessage() const;

 private:
  char* errMsg;
  int status;
};

#endif  // VY_RETURN_STATUS_DESCRIPTOR_HPP
