// The business object wire layout: reading an object tree from a message's token stream and
// writing it back (full layout and parent-and-keys layout).
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "BOAttrType.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "Codec.hpp"
#include "KyConversion.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "SpecWalk.hpp"
#include "StringMessage.hpp"
#include "TextArena.hpp"
#include "TextCopy.hpp"
#include "TransactionBusinessObject.hpp"
#include "WireRequest.hpp"
#include "WireText.hpp"
#include "WireTokens.hpp"

namespace {

constexpr int kMsgNoSpec = 64;
const char kObjectKind[] = "Malformed business object message";

// Counts are written on every object: formatted by hand rather than through printf.
const char* decimalText(long value, char (&digits)[24]) {
  char* p = digits + sizeof digits - 1;
  *p = '\0';
  unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : value;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (value < 0) *--p = '-';
  return p;
}

int nonNullChildren(BusObjContainer* container) {
  int present = 0;
  for (int k = 0; k < container->getObjectCount(); ++k) {
    if (container->getObject(k) != nullptr) ++present;
  }
  return present;
}

std::string tokenText(const vy::WireTokens& in) {
  return in.text() != nullptr ? std::string(in.text(), in.length()) : std::string();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// reading

BusinessObject::BusinessObject(StringMessage& message) : BusinessObject(message, 0) {}

BusinessObject::BusinessObject(StringMessage& message, int depth) {
  initEmpty();
  vy::WireTokens in(message);
  read(in, depth);
}

BusinessObject::BusinessObject(vy::WireTokens& in, int depth) {
  initEmpty();
  read(in, depth);
}

void** BusinessObject::newSlots(int count) {
  size_t bytes = sizeof(void*) * static_cast<size_t>(count > 0 ? count : 1);
  // Room for the texts of a typical object comes with the array.
  auto** slots = static_cast<void**>(vy::arenaTake(arena, bytes, bytes * 4 + 128));
  std::memset(slots, 0, bytes);
  return slots;
}

void BusinessObject::releaseSlots(void** slots) {
  if (slots == nullptr) return;
  freeSlots(slots, spec, this);
  if (!vy::arenaHolds(arena, slots)) delete[] slots;
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
  releaseSlots(values);
  values = nullptr;
  spec = nullptr;
}

bool BusinessObject::read(vy::WireTokens& in, int depth) {
  if (!in.next()) {
    failRead("Malformed business object message: no kind marker", nullptr);
    return false;
  }
  if (!in.is(vy::wire::kObjectMarker)) {
    failRead("Malformed business object message: unexpected kind marker", in.text());
    return false;
  }
  if (!in.next()) {
    failRead("Malformed business object message: truncated after the kind marker", nullptr);
    return false;
  }
  // A field is valid until the next one is read: what the header's later checks need is kept.
  bool named = in.next();
  std::string name = tokenText(in);
  bool versioned = named && in.next();
  std::string versionText = tokenText(in);
  if (!versioned || !in.next()) {
    failRead("Malformed business object message: truncated header", named ? name.c_str() : nullptr);
    return false;
  }
  bool hasDeltaFlags = false;
  bool headerDone = true;
  if (in.is(vy::wire::kTrueText) || in.is(vy::wire::kFalseText)) {
    delta = in.text()[0] == 't' ? 1 : 0;
    hasDeltaFlags = true;
    headerDone = in.next();
  }
  std::string verbText = tokenText(in);
  if (!headerDone || !in.next()) {
    failRead("Malformed business object message: truncated header", name.c_str());
    return false;
  }
  // The locale is the current field until the count is read.
  spec = in.knownSpec(name, versionText);
  if (spec == nullptr) {
    KyVersion version(versionText.c_str());
    spec = BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(name.c_str(), version);
    if (spec != nullptr) in.rememberSpec(name, versionText, spec);
  }
  if (spec == nullptr) {
    verb = vy::copyText(verbText);
    setLocale(in.text());
    logKyMsg(kMsgNoSpec, KyMsgFormat::MLV_ERROR, versionText.c_str(), name.c_str());
    failRead("Unknown business object type", name.c_str());
    return false;
  }
  int attrCount = spec->getAttributeCount();
  values = newSlots(attrCount);
  verb = keepText(verbText.data(), verbText.size());
  locale = keepText(in.text(), in.length());

  long count = 0;
  if (!in.next() || !vy::wire::parseCount(in.text(), in.length(), &count)) {
    failRead("Malformed business object message: bad attribute count", in.text());
    return false;
  }
  if (count != attrCount) {
    logKyMsg(kMsgNoSpec, KyMsgFormat::MLV_ERROR, versionText.c_str(), name.c_str());
    std::string detail =
        name + " has " + std::to_string(attrCount) + " attributes, the message " + tokenText(in);
    failRead("Attribute count does not match the spec", detail.c_str());
    return false;
  }
  std::string why;
  if (!readValues(in, values, depth, hasDeltaFlags, kObjectKind, why)) {
    failRead(why.c_str(), nullptr);
    return false;
  }
  return true;
}

bool BusinessObject::readValues(vy::WireTokens& in, void** slots, int depth, bool containerFlags,
                                const char* kind, std::string& why) {
  int attrCount = spec->getAttributeCount();
  auto fail = [&](const char* what, const std::string& detail) {
    why = std::string(kind) + ": " + what + ": " + detail;
    return false;
  };
  for (int i = 0; i < attrCount; ++i) {
    if (!in.next()) return fail("truncated inside", spec->getName());
    if (in.is(vy::wire::kIgnoreText)) continue;
    BOAttrType* attr = vy::attrAt(spec, i);
    int type = attr->getTypeNum();
    if (in.is(vy::wire::kBlankText)) {
      slots[i] = BlankValue;
      continue;
    }
    if (vy::wire::isSimpleType(type)) {
      char* kept = vy::arenaCopy(arena, in.text(), in.length());
      slots[i] = kept;
      in.kept(kept);
      continue;
    }
    if (type != 0) continue;  // a type the model does not know: the field is skipped
    long children = 0;
    if (!vy::wire::parseCount(in.text(), in.length(), &children)) {
      return fail("bad child count",
                  std::string(attr->getName() ? attr->getName() : "?") + " = " + in.text());
    }
    if (children <= 0) continue;
    if (depth >= MAX_READ_DEPTH) return fail("objects nested too deeply", spec->getName());
    BusObjContainer* container = nullptr;
    if (attr->isMultipleCard()) {
      container = new BusObjContainer(nullptr);
      slots[i] = container;
      if (containerFlags) {
        if (!in.next()) return fail("truncated inside", spec->getName());
        container->setDelta(in.is(vy::wire::kTrueText) ? 1 : 0);
      }
    } else {
      children = 1;
    }
    // Children are read one by one; a count larger than what follows ends at the first child
    // the stream cannot hold.
    for (long k = 0; k < children; ++k) {
      BusinessObject* child = new BusinessObject(in, depth + 1);
      if (child->spec == nullptr) {
        why = child->readError ? child->readError : "unreadable child";
        delete child;
        return false;
      }
      child->parent = this;
      if (container != nullptr) {
        container->setTheSpec(child->spec);
        container->insertObject(child);
      } else {
        slots[i] = child;
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// writing

namespace {

// The fields of a tree appended to a StringMessage (both of its views).
struct MessageOut {
  StringMessage& message;
  void field(const char* text) { message.appendField(text); }
  void type(BusinessObject& object);
  void count(long value) {
    char digits[24];
    message.appendField(decimalText(value, digits));
  }
};

// The fields of a tree written straight as UTF-16 units into the calling thread's buffer: an
// ASCII text is widened as it is checked, any other converted on its own. A text that cannot be
// converted is reported (message 80014) and left out, as StringMessage::appendField does.
class UnitsOut {
 public:
  // `sources`, when given, holds the request's values whose agent units may be written as they
  // came.
  explicit UnitsOut(vy::FieldSources* sources = nullptr)
      : buffer_(threadBuffer()),
        converter_(vy::threadConverter()),
        ascii_(converter_.asciiCompatible()),
        sources_(sources != nullptr && !sources->empty() ? sources : nullptr) {
    buffer_.used = 0;
    if (sources_ != nullptr) sources_->rewind();
  }
  void field(const char* text) {
#if defined(__SSE2__)
    if (ascii_ && text != nullptr && shortAscii(text)) return;
#endif
    if (text == nullptr || *text == '\0') text = vy::wire::kNullText;
    size_t n = std::strlen(text);
    if (n > kMaxUnits) {
      vy::logEncodingError();
      return;
    }
    uint16_t* at = room(n + kMaxPrefix);
    uint16_t* out = at + prefix(n, at);
    unsigned high = 0;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    if (n >= 8) {
      for (; i + 8 <= n; i += 8) {
        __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + i));
        high |= static_cast<unsigned>(_mm_movemask_epi8(bytes)) << 7;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
      }
      if (i < n) {
        // The last eight bytes again, overlapping what is written already.
        __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + n - 8));
        high |= static_cast<unsigned>(_mm_movemask_epi8(bytes)) << 7;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 8), _mm_unpacklo_epi8(bytes, zero));
      }
      i = n;
    } else if (n & 4) {
      uint32_t word;
      std::memcpy(&word, text, 4);
      __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(word));
      high |= static_cast<unsigned>(_mm_movemask_epi8(bytes)) << 7;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
      i = 4;
    }
#endif
    for (; i < n; ++i) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      high |= c;
      out[i] = c;
    }
    if (ascii_ && high < 0x80) {
      buffer_.used = static_cast<size_t>(out + n - buffer_.data);
      return;
    }
    if (sources_ != nullptr) {
      size_t units = 0;
      if (const uint16_t* same = sources_->find(&converter_, text, n, &units)) {
        std::memcpy(room(units), same, sizeof(uint16_t) * units);
        buffer_.used += units;
        return;
      }
    }
    if (codec_ == kCodecUnknown)
      codec_ = vy::nativeCodecOf(converter_, &codec_) ? codec_ : kNoCodec;
    if (codec_ != kNoCodec) {
      // An encoding the kit converts itself: straight into the buffer after room for the prefix
      // of n units, then moved to just after the real prefix (never longer: a byte gives at most
      // one unit).
      auto cs = static_cast<vy::codec::Charset>(codec_);
      size_t used = buffer_.used;
      uint16_t lead[kMaxPrefix];
      size_t room0 = prefix(n, lead);
      at = room(vy::codec::utf16Capacity(n) + kMaxPrefix);
      size_t units =
          vy::codec::nativeToUtf16(cs, reinterpret_cast<const uint8_t*>(text), n, at + room0)
              .written;
      if (units == 0 || units > kMaxUnits) {
        buffer_.used = used;
        vy::logEncodingError();
        return;
      }
      size_t width = prefix(units, lead);
      if (width != room0) std::memmove(at + width, at + room0, sizeof(uint16_t) * units);
      std::memcpy(at, lead, sizeof(uint16_t) * width);
      buffer_.used = used + width + units;
      return;
    }
    int units = static_cast<int>(n);
    unsigned short* wide = converter_.fromNativeToUTF16(nullptr, text, units);
    if (wide == nullptr || units <= 0 || static_cast<size_t>(units) > kMaxUnits) {
      std::free(wide);
      vy::logEncodingError();
      return;
    }
    at = room(static_cast<size_t>(units) + kMaxPrefix);
    out = at + prefix(static_cast<size_t>(units), at);
    std::memcpy(out, wide, sizeof(uint16_t) * static_cast<size_t>(units));
    std::free(wide);
    buffer_.used = static_cast<size_t>(out + units - buffer_.data);
  }
  void count(long value) {
    char digits[24];
    field(decimalText(value, digits));
  }
  vy::Units units() const { return {buffer_.data, buffer_.used}; }
  // The type fields of the header; the children of a tree share a few types, so the units of
  // the last type written are copied for the next object of that type.
  void type(BusinessObject& object);

 private:
  struct Buffer {
    uint16_t* data = nullptr;
    size_t capacity = 0;
    size_t used = 0;
    ~Buffer() { std::free(data); }
  };
  static constexpr size_t kMaxPrefix = 12;  // digits and the delimiter
  static constexpr size_t kMaxUnits = INT_MAX / 4;

#if defined(__SSE2__)
  // The common value, a short ASCII text, from one 16-byte load: its end, its check and its
  // units at once. The load stays within the text's page, so the bytes after the terminator it
  // may read cannot fault (hence no address checking here: they are not the text's). False, with
  // nothing written, for anything else.
  __attribute__((no_sanitize("address"))) bool shortAscii(const char* text) {
    if ((reinterpret_cast<uintptr_t>(text) & 4095) > 4096 - 16) return false;
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    const __m128i zero = _mm_setzero_si128();
    unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
    if (ends == 0) return false;
    unsigned n = static_cast<unsigned>(__builtin_ctz(ends));
    unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes)) & ((1u << n) - 1);
    if (n == 0 || high != 0) return false;
    uint16_t* at = room(16 + 3);
    size_t width = prefix(n, at);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + width), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + width + 8), _mm_unpackhi_epi8(bytes, zero));
    buffer_.used += width + n;
    return true;
  }
#endif

  static Buffer& threadBuffer() {
    thread_local Buffer buffer;
    return buffer;
  }
  // Room for `units` more units after the used ones.
  uint16_t* room(size_t units) {
    size_t need = buffer_.used + units;
    if (need > buffer_.capacity) {
      size_t capacity = need + need / 2 + 1024;
      auto* grown = static_cast<uint16_t*>(std::realloc(buffer_.data, capacity * sizeof(uint16_t)));
      if (grown == nullptr) {
        std::fputs("VyConnector: out of memory\n", stderr);
        std::abort();
      }
      buffer_.data = grown;
      buffer_.capacity = capacity;
    }
    return buffer_.data + buffer_.used;
  }
  // Writes the length prefix of a field of `n` units and the delimiter; returns their units.
  static size_t prefix(size_t n, uint16_t* at) {
    if (n < 10) {
      at[0] = static_cast<uint16_t>('0' + n);
      at[1] = vy::wire::kDelimiter;
      return 2;
    }
    if (n < 100) {
      at[0] = static_cast<uint16_t>('0' + n / 10);
      at[1] = static_cast<uint16_t>('0' + n % 10);
      at[2] = vy::wire::kDelimiter;
      return 3;
    }
    uint16_t reversed[kMaxPrefix];
    size_t d = 0;
    do {
      reversed[d++] = static_cast<uint16_t>('0' + n % 10);
      n /= 10;
    } while (n > 0);
    for (size_t i = 0; i < d; ++i) at[i] = reversed[d - 1 - i];
    at[d] = vy::wire::kDelimiter;
    return d + 1;
  }

  Buffer& buffer_;
  KyConversion& converter_;
  bool ascii_;
  vy::FieldSources* sources_;
  static constexpr int kCodecUnknown = -2;  // not asked yet
  static constexpr int kNoCodec = -1;       // converted through the converter
  int codec_ = kCodecUnknown;
  BusObjSpec* lastType_ = nullptr;
  size_t lastTypeAt_ = 0;  // where its units start in the buffer
  size_t lastTypeUnits_ = 0;
};

// The first four fields of an object's header: the kind marker, the format version, the type's
// name and version.
template <class Out>
void writeType(Out& out, BusinessObject& object) {
  out.field(vy::wire::kObjectMarker);
  out.field(vy::wire::kFormatVersion);
  out.field(object.getName());
  KyVersion* version = object.getVersion();
  out.field(version ? version->toString() : nullptr);
}

void MessageOut::type(BusinessObject& object) { writeType(*this, object); }

void UnitsOut::type(BusinessObject& object) {
  BusObjSpec* spec = object.getTheSpec();
  if (spec != nullptr && spec == lastType_) {
    // The earlier copy lies before the used end, and room() may move the buffer.
    uint16_t* at = room(lastTypeUnits_);
    std::memcpy(at, buffer_.data + lastTypeAt_, sizeof(uint16_t) * lastTypeUnits_);
    buffer_.used += lastTypeUnits_;
    return;
  }
  size_t start = buffer_.used;
  writeType(*this, object);
  lastType_ = spec;
  lastTypeAt_ = start;
  lastTypeUnits_ = buffer_.used - start;
}

template <class Out>
void writeHeader(Out& out, BusinessObject& object, bool withDeltaFlag) {
  out.type(object);
  if (withDeltaFlag) out.field(object.isDelta() ? vy::wire::kTrueText : vy::wire::kFalseText);
  out.field(object.getVerb());
  out.field(object.getLocale());
  out.count(object.getAttrCount());
}

template <class Out>
void writeSimple(Out& out, const char* value) {
  if (value == nullptr) {
    out.field(vy::wire::kIgnoreText);
  } else if (value == BusinessObject::BlankValue || *value == '\0') {  // blank
    out.field(vy::wire::kBlankText);
  } else {
    out.field(value);
  }
}

// The full layout of a tree. Depth-first with an explicit stack, so a tree of any depth is
// written without deep recursion; each child's fields follow its count in the parent's list.
template <class Out>
void writeTree(Out& out, BusinessObject& root) {
  struct Frame {
    BusinessObject* object;
    int attr;      // next attribute to write
    int position;  // next container position, -1 before the container's count is written
  };
  std::vector<Frame> stack;
  stack.reserve(16);
  writeHeader(out, root, true);
  stack.push_back({&root, 0, -1});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    BusinessObject* object = frame.object;
    void** values = object->getAttrValues();
    if (values == nullptr || frame.attr >= object->getAttrCount()) {
      stack.pop_back();
      continue;
    }
    BOAttrType* attr = vy::attrAt(object->getTheSpec(), frame.attr);
    void* value = values[frame.attr];
    int type = attr ? attr->getTypeNum() : -1;
    if (type != 0) {
      if (vy::wire::isSimpleType(type)) {
        writeSimple(out, static_cast<const char*>(value));
      } else {
        out.field(vy::wire::kIgnoreText);
      }
      ++frame.attr;
      continue;
    }
    if (value == nullptr || value == BusinessObject::BlankValue) {
      out.field(value == nullptr ? "0" : vy::wire::kBlankText);
      ++frame.attr;
      continue;
    }
    BusinessObject* next = nullptr;
    if (attr->isMultipleCard()) {
      BusObjContainer* container = static_cast<BusObjContainer*>(value);
      if (frame.position < 0) {
        // Gaps left by setObject are not written, so the count is that of present children.
        int present = nonNullChildren(container);
        out.count(present);
        if (present == 0) {
          ++frame.attr;
          continue;
        }
        out.field(container->isDelta() ? vy::wire::kTrueText : vy::wire::kFalseText);
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
      out.field("1");
      next = static_cast<BusinessObject*>(value);
      ++frame.attr;
    }
    writeHeader(out, *next, true);
    stack.push_back({next, 0, -1});  // `frame` is not used past this point
  }
}

// The transaction section: kind marker, format version, spec name and version, verb, count and
// one value group per reference value; containers without their delta flag.
template <class Out>
void writeSection(Out& out, TransactionBusinessObject& tbo) {
  BusObjSpec* spec = tbo.getTheSpec();
  if (spec == nullptr) return;
  out.field(vy::wire::kTransactionMarker);
  out.field(vy::wire::kFormatVersion);
  out.field(spec->getName());
  KyVersion* version = spec->getVersion();
  out.field(version ? version->toString() : nullptr);
  out.field(tbo.getVerb());  // a null verb is written "null"
  const int count = tbo.getAttrCount();
  out.count(count);
  for (int i = 0; i < count; ++i) {
    void* value = tbo.getRefAttrValue(i);
    BOAttrType* attr = spec->getAttribute(i);
    if (attr == nullptr || attr->getTypeNum() != 0) {
      // The marker, or an owned empty text, is blank.
      writeSimple(out, static_cast<const char*>(value));
      continue;
    }
    // A blank marker in an object slot stands for no child.
    if (value == nullptr || value == BusinessObject::BlankValue) {
      out.field("0");
      continue;
    }
    if (attr->isMultipleCard()) {
      BusObjContainer* container = static_cast<BusObjContainer*>(value);
      // The count announces exactly the children that follow, gaps left out.
      out.count(nonNullChildren(container));
      for (int k = 0; k < container->getObjectCount(); ++k)
        if (BusinessObject* child = container->getObject(k)) writeTree(out, *child);
      continue;
    }
    out.field("1");
    writeTree(out, *static_cast<BusinessObject*>(value));
  }
}

}  // namespace

StringMessage* BusinessObject::toStringMessage() {
  StringMessage* message = new StringMessage();
  appendTo(*message);
  return message;
}

void BusinessObject::appendTo(StringMessage& message) {
  MessageOut out{message};
  writeTree(out, *this);
}

namespace vy {

void appendSection(TransactionBusinessObject& tbo, StringMessage& message) {
  MessageOut out{message};
  writeSection(out, tbo);
}

Units wireUnits(BusinessObject& bo) {
  UnitsOut out;
  writeTree(out, bo);
  return out.units();
}

RequestObject::RequestObject(const unsigned short* units, size_t length, bool transactional) {
  WireTokens in(units, length);
  in.noteSourcesIn(&sources_);
  if (transactional) {
    transaction_.reset(new TransactionBusinessObject(in));
  } else {
    plain_.reset(new BusinessObject(in, 0));
  }
  BusinessObject& bo = object();
  if (bo.spec == nullptr && bo.readError != nullptr && in.fault() != nullptr) {
    std::string why = std::string(bo.readError) + " (" + in.fault() + ")";
    bo.failRead(why.c_str(), nullptr);
  }
}

RequestObject::~RequestObject() = default;

BusinessObject& RequestObject::object() {
  if (transaction_ != nullptr) return *transaction_;
  return *plain_;
}

int RequestObject::doVerbFor(ReturnStatusDescriptor* status) {
  return transaction_ != nullptr ? transaction_->doVerbFor(status) : plain_->doVerbFor(status);
}

Units RequestObject::wireUnits() {
  UnitsOut out(&sources_);
  writeTree(out, object());
  if (transaction_ != nullptr) writeSection(out, *transaction_);
  return out.units();
}

}  // namespace vy

StringMessage* BusinessObject::toStringMessageParentAndKeys() {
  StringMessage* message = new StringMessage();
  MessageOut out{*message};
  writeHeader(out, *this, false);
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
    writeSimple(out, value);
  }
  return message;
}
