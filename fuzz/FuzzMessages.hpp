// Pieces the native fuzz targets share: the start of every input, the check of an object that did
// not read, the units of a message, and the
// pack-again check of the serializer targets.
//
// Threads: called on the thread that fuzzes.
#ifndef VY_FUZZ_MESSAGES_HPP
#define VY_FUZZ_MESSAGES_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "BusinessObject.hpp"
#include "FuzzCheck.hpp"
#include "FuzzDirectory.hpp"
#include "FuzzNative.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"

namespace vyfuzz {

// Counts an input; every 4096 inputs the native port's records are cleared, so its lists stay
// small.
inline void countNativeInput() {
  static unsigned runs = 0;
  if (++runs % 4096 == 0) FuzzNative::clearRecords();
}

// The input of a target that reads wire texts, counted (countNativeInput), as a message of its
// UTF-16LE units.
class WireInput {
 public:
  WireInput(const uint8_t* data, size_t size)
      : units_((countNativeInput(), FuzzSpecs::unitsOf(data, size))),
        message_(reinterpret_cast<const unsigned short*>(units_.c_str())) {}
  StringMessage& message() { return message_; }

 private:
  std::u16string units_;
  StringMessage message_;
};

// An object read from a wire text either has a spec or says why it has none: true when it read.
template <class T>
bool readOrExplained(T& obj) {
  if (obj.getTheSpec() != nullptr) return true;
  VY_FUZZ_CHECK(obj.getReadError() != nullptr, "an unreadable object without a reason");
  return false;
}

// The UTF-16 units of a message's text.
inline std::u16string messageUnits(const StringMessage& msg) {
  return std::u16string(reinterpret_cast<const char16_t*>(msg.toUTF16String()),
                        msg.getCurrentUTF16Size());
}

// The units of the message `write` makes of an object (a BusinessObject member giving a new
// StringMessage), deleted again.
inline std::u16string messageUnits(BusinessObject& bo, StringMessage* (BusinessObject::*write)()) {
  StringMessage* m = (bo.*write)();
  std::u16string out = messageUnits(*m);
  delete m;
  return out;
}

// For an object a serializer unpacked (nothing to do without one or without spec): packing it
// again with `pack` and unpacking that with `unpack` gives an object whose message (`write`) is
// the same.
template <class Pack, class Unpack>
void checkPacksAgain(BusinessObject* bo, Pack pack, Unpack unpack,
                     StringMessage* (BusinessObject::*write)()) {
  if (bo == nullptr || bo->getTheSpec() == nullptr) return;
  char* packed = pack(bo);
  VY_FUZZ_CHECK(packed != nullptr, "an unpacked object does not pack again");
  BusinessObject* again = unpack(packed);
  std::free(packed);
  VY_FUZZ_CHECK(again != nullptr && again->getTheSpec() != nullptr,
                "an object packed by the kit does not unpack");
  VY_FUZZ_CHECK(messageUnits(*bo, write) == messageUnits(*again, write),
                "packed and unpacked again differs");
  delete again;
}

// One input of a serializer target: the bytes up to the first NUL are unpacked with `unpack`;
// an object that unpacks with a spec must pass checkPacksAgain. The directory is put back to the
// fixed types afterwards (FuzzDirectory::snapshot() was taken at start-up).
template <class Pack, class Unpack>
int unpackInput(const uint8_t* data, size_t size, Pack pack, Unpack unpack,
                StringMessage* (BusinessObject::*write)()) {
  countNativeInput();
  std::string text(reinterpret_cast<const char*>(data), size);
  BusinessObject* bo = unpack(text.c_str());
  checkPacksAgain(bo, pack, unpack, write);
  delete bo;
  FuzzDirectory::restore();
  return 0;
}

// Reads the text of `written` (a message an object wrote) into a new BusinessObject, which must
// read (`notRead` otherwise).
inline std::unique_ptr<BusinessObject> readBack(const StringMessage& written, const char* notRead) {
  StringMessage copy(written.toUTF16String());
  std::unique_ptr<BusinessObject> bo(new BusinessObject(copy));
  VY_FUZZ_CHECK(bo->getTheSpec() != nullptr, notRead);
  return bo;
}

// Writes the message of `obj` (a T, read from a message), reads it into a new T and writes that
// again: it must read (`notRead` otherwise) with no token left over (`tokensLeft` otherwise) and
// give the same text.
template <class T>
void checkMessageReadsBack(T& obj, const char* notRead, const char* tokensLeft) {
  StringMessage* first = obj.toStringMessage();
  VY_FUZZ_CHECK(first != nullptr, "toStringMessage gave nothing");
  StringMessage copy(first->toUTF16String());
  T again(copy);
  VY_FUZZ_CHECK(again.getTheSpec() != nullptr, notRead);
  VY_FUZZ_CHECK(!copy.hasMoreTokens(), tokensLeft);
  StringMessage* second = again.toStringMessage();
  VY_FUZZ_CHECK(messageUnits(*first) == messageUnits(*second),
                "written, read and written again differs");
  delete second;
  delete first;
}

}  // namespace vyfuzz

#endif  // VY_FUZZ_MESSAGES_HPP
