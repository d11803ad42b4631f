// The business object wire layout: reading an object tree from a message's token stream and
// writing it back (full layout and parent-and-keys layout).
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BOAttrType.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "StringMessage.hpp"
#include "WireText.hpp"

namespace {

constexpr int kMsgNoSpec = 64;

// A count field: an optional minus sign and 1 to 10 digits, within the int range.
bool parseCount(const char* text, long* out) {
  const char* p = text;
  if (*p == '-') ++p;
  size_t digits = std::strspn(p, "0123456789");
  if (digits == 0 || digits > 10 || p[digits] != '\0') return false;
  long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX || value < INT_MIN) return false;
  *out = value;
  return true;
}

void appendDecimal(StringMessage& message, long value) {
  // Counts are written on every object: formatted by hand rather than through printf.
  char digits[24];
  char* end = digits + sizeof digits - 1;
  *end = '\0';
  char* p = end;
  unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : value;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (value < 0) *--p = '-';
  message.appendField(p);
}

int nonNullChildren(BusObjContainer* container) {
  int present = 0;
  for (int k = 0; k < container->getObjectCount(); ++k) {
    if (container->getObject(k) != nullptr) ++present;
  }
  return present;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// reading

BusinessObject::BusinessObject(StringMessage& message) : BusinessObject(message, 0) {}

BusinessObject::BusinessObject(StringMessage& message, int depth) {
  initEmpty();
  read(message, depth);
}

void BusinessObject::failRead(const char* what, const char* detail) {
  std::string text = what;
  if (detail != nullptr) {
    text += ": ";
    text += detail;
  }
  std::free(readError);
  readError = static_cast<char*>(std::malloc(text.size() + 1));
  if (readError != nullptr) std::memcpy(readError, text.c_str(), text.size() + 1);
  if (values != nullptr) {
    freeSlots(values, spec);
    delete[] values;
    values = nullptr;
  }
  spec = nullptr;
}

bool BusinessObject::read(StringMessage& message, int depth) {
  const char* token = message.nextToken();
  if (token == nullptr) {
    failRead("Malformed business object message: no kind marker", nullptr);
    return false;
  }
  if (std::strcmp(token, vy::wire::kObjectMarker) != 0) {
    failRead("Malformed business object message: unexpected kind marker", token);
    return false;
  }
  if (message.nextToken() == nullptr) {
    failRead("Malformed business object message: truncated after the kind marker", nullptr);
    return false;
  }
  const char* nameToken = message.nextToken();
  const char* versionToken = nameToken ? message.nextToken() : nullptr;
  token = versionToken ? message.nextToken() : nullptr;
  if (token == nullptr) {
    failRead("Malformed business object message: truncated header", nameToken);
    return false;
  }
  // Token pointers stay valid while reading: the message does not grow meanwhile.
  bool hasDeltaFlags = false;
  if (std::strcmp(token, "true") == 0 || std::strcmp(token, "false") == 0) {
    delta = token[0] == 't' ? 1 : 0;
    hasDeltaFlags = true;
    token = message.nextToken();
  }
  const char* localeToken = token ? message.nextToken() : nullptr;
  if (localeToken == nullptr) {
    failRead("Malformed business object message: truncated header", nameToken);
    return false;
  }
  std::free(verb);
  verb = static_cast<char*>(std::malloc(std::strlen(token) + 1));
  if (verb != nullptr) std::strcpy(verb, token);
  setLocale(localeToken);

  KyVersion version(versionToken);
  spec = BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(nameToken, version);
  if (spec == nullptr) {
    logKyMsg(kMsgNoSpec, KyMsgFormat::MLV_ERROR, versionToken, nameToken);
    failRead("Unknown business object type", nameToken);
    return false;
  }
  allocValues();

  token = message.nextToken();
  long count = 0;
  if (token == nullptr || !parseCount(token, &count)) {
    failRead("Malformed business object message: bad attribute count", token);
    return false;
  }
  int attrCount = spec->getAttributeCount();
  if (count != attrCount) {
    logKyMsg(kMsgNoSpec, KyMsgFormat::MLV_ERROR, versionToken, nameToken);
    std::string detail = std::string(nameToken) + " has " + std::to_string(attrCount) +
                         " attributes, the message " + token;
    failRead("Attribute count does not match the spec", detail.c_str());
    return false;
  }

  for (int i = 0; i < attrCount; ++i) {
    token = message.nextToken();
    if (token == nullptr) {
      failRead("Malformed business object message: truncated inside", spec->getName());
      return false;
    }
    if (std::strcmp(token, vy::wire::kIgnoreText) == 0) continue;
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr) continue;
    int type = attr->getTypeNum();
    if (std::strcmp(token, vy::wire::kBlankText) == 0) {
      setAttrValue(i, BlankValue, type);
      continue;
    }
    if (vy::wire::isSimpleType(type)) {
      setAttrValue(i, token, type);
      continue;
    }
    if (type != 0) continue;
    long children = 0;
    if (!parseCount(token, &children)) {
      std::string detail = std::string(attr->getName() ? attr->getName() : "?") + " = " + token;
      failRead("Malformed business object message: bad child count", detail.c_str());
      return false;
    }
    if (children <= 0) continue;
    if (depth >= MAX_READ_DEPTH) {
      failRead("Malformed business object message: objects nested too deeply", spec->getName());
      return false;
    }
    BusObjContainer* container = nullptr;
    if (attr->isMultipleCard()) {
      container = new BusObjContainer(nullptr);
      values[i] = container;
      if (hasDeltaFlags) {
        token = message.nextToken();
        if (token == nullptr) {
          failRead("Malformed business object message: truncated inside", spec->getName());
          return false;
        }
        container->setDelta(std::strcmp(token, "true") == 0 ? 1 : 0);
      }
    } else {
      children = 1;
    }
    // Children are read one by one; a count larger than what follows ends at the first child
    // the stream cannot hold.
    for (long k = 0; k < children; ++k) {
      BusinessObject* child = new BusinessObject(message, depth + 1);
      if (child->spec == nullptr) {
        std::string childError = child->readError ? child->readError : "unreadable child";
        delete child;
        failRead(childError.c_str(), nullptr);
        return false;
      }
      child->parent = this;
      if (container != nullptr) {
        container->setTheSpec(child->spec);
        container->insertObject(child);
      } else {
        values[i] = child;
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// writing

namespace {

void appendHeader(StringMessage& message, BusinessObject& object, bool withDeltaFlag) {
  message.appendField(vy::wire::kObjectMarker);
  message.appendField(vy::wire::kFormatVersion);
  message.appendField(object.getName());
  KyVersion* version = object.getVersion();
  message.appendField(version ? version->toString() : nullptr);
  if (withDeltaFlag) message.appendField(object.isDelta() ? "true" : "false");
  message.appendField(object.getVerb());
  message.appendField(object.getLocale());
  appendDecimal(message, object.getAttrCount());
}

void appendSimple(StringMessage& message, const char* value) {
  if (value == nullptr) {
    message.appendField(vy::wire::kIgnoreText);
  } else if (BusinessObject::isBlankValue(value)) {
    message.appendField(vy::wire::kBlankText);
  } else {
    message.appendField(value);
  }
}

}  // namespace

StringMessage* BusinessObject::toStringMessage() {
  StringMessage* message = new StringMessage();
  appendTo(*message);
  return message;
}

void BusinessObject::appendTo(StringMessage& message) {
  // Depth-first with an explicit stack, so a tree of any depth is written without deep
  // recursion; each child's fields follow its count in the parent's field list.
  struct Frame {
    BusinessObject* object;
    int attr;      // next attribute to write
    int position;  // next container position, -1 before the container's count is written
  };
  std::vector<Frame> stack;
  appendHeader(message, *this, true);
  stack.push_back({this, 0, -1});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    BusinessObject* object = frame.object;
    if (object->values == nullptr || frame.attr >= object->getAttrCount()) {
      stack.pop_back();
      continue;
    }
    BOAttrType* attr = object->spec->getAttribute(frame.attr);
    void* value = object->values[frame.attr];
    int type = attr ? attr->getTypeNum() : -1;
    if (type != 0) {
      if (vy::wire::isSimpleType(type)) {
        appendSimple(message, static_cast<const char*>(value));
      } else {
        message.appendField(vy::wire::kIgnoreText);
      }
      ++frame.attr;
      continue;
    }
    if (value == nullptr || value == BlankValue) {
      message.appendField(value == nullptr ? "0" : vy::wire::kBlankText);
      ++frame.attr;
      continue;
    }
    BusinessObject* next = nullptr;
    if (attr->isMultipleCard()) {
      BusObjContainer* container = static_cast<BusObjContainer*>(value);
      if (frame.position < 0) {
        // Gaps left by setObject are not written, so the count is that of present children.
        int present = nonNullChildren(container);
        appendDecimal(message, present);
        if (present == 0) {
          ++frame.attr;
          continue;
        }
        message.appendField(container->isDelta() ? "true" : "false");
        frame.position = 0;
      }
      while (frame.position < container->getObjectCount() &&
             container->getObject(frame.position) == nullptr) {
        ++frame.position;
      }
      if (frame.position >= container->getObjectCount()) {
        ++frame.attr;
        frame.position = -1;
        continue;
      }
      next = container->getObject(frame.position++);
    } else {
      message.appendField("1");
      next = static_cast<BusinessObject*>(value);
      ++frame.attr;
    }
    appendHeader(message, *next, true);
    stack.push_back({next, 0, -1});  // `frame` is not used past this point
  }
}

StringMessage* BusinessObject::toStringMessageParentAndKeys() {
  StringMessage* message = new StringMessage();
  appendHeader(*message, *this, false);
  int count = getAttrCount();
  for (int i = 0; i < count && values != nullptr; ++i) {
    BOAttrType* attr = spec->getAttribute(i);
    int type = attr ? attr->getTypeNum() : -1;
    if (!vy::wire::isSimpleType(type)) {
      message->appendField(type == 0 ? "0" : vy::wire::kIgnoreText);
      continue;
    }
    const char* value = static_cast<const char*>(values[i]);
    if (value != nullptr && !isBlankValue(value) && !attr->isKey()) value = nullptr;
    appendSimple(*message, value);
  }
  return message;
}
