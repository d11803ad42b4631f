#include "ReturnStatusDescriptor.hpp"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "StringMessage.hpp"
#include "TextCopy.hpp"

namespace {}  // namespace

const char* const ReturnStatusDescriptor::RETURN_DELIM = "\x04";

ReturnStatusDescriptor::ReturnStatusDescriptor() : errMsg(nullptr), status(0) {}

ReturnStatusDescriptor::ReturnStatusDescriptor(const char* msg)
    : errMsg(vy::copyText(msg)), status(0) {}

ReturnStatusDescriptor::ReturnStatusDescriptor(int s, const char* msg)
    : errMsg(vy::copyText(msg)), status(s) {}

ReturnStatusDescriptor::ReturnStatusDescriptor(StringMessage* msg) : errMsg(nullptr), status(0) {
  if (msg == nullptr) return;
  const char* kind = msg->nextToken();
  const char* number = kind != nullptr ? msg->nextToken() : nullptr;
  const char* text = number != nullptr ? msg->nextToken() : nullptr;
  // A status text cut short carries nothing trustworthy.
  if (text == nullptr) return;
  long value = std::strtol(number, nullptr, 10);
  status = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
  if (std::strcmp(text, "null") != 0) errMsg = vy::copyText(text);
}

ReturnStatusDescriptor::~ReturnStatusDescriptor() { std::free(errMsg); }

void ReturnStatusDescriptor::seterrMsg(const char* msg) {
  if (msg == errMsg) return;
  char* copy = vy::copyText(msg);
  std::free(errMsg);
  errMsg = copy;
}

StringMessage* ReturnStatusDescriptor::toStringMessage() const {
  auto* msg = new StringMessage();
  msg->appendField("ReturnStatusDescriptor");
  char number[16];
  std::snprintf(number, sizeof number, "%d", status);
  msg->appendField(number);
  msg->appendField(errMsg);
  return msg;
}
