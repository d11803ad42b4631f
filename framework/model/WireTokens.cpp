#include "WireTokens.hpp"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "AgentPort.hpp"
#include "Codec.hpp"
#include "KyConversion.hpp"
#include "StringMessage.hpp"
#include "WireText.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vy {

namespace {

// Narrows n units to bytes at `out` (n + 1 bytes), each unit to its low byte, and lists in
// `other`, in order, the blocks of eight units (unit index / 8) that hold a unit that is not
// ASCII or is U+0000.
void narrowAll(const uint16_t* u, size_t n, char* out, std::vector<uint32_t>& other) {
  other.clear();
  size_t i = 0;
#if defined(__SSE2__)
  // Eight units at a time: unit - 1 above 0x7E is U+0000 or beyond ASCII.
  const __m128i one = _mm_set1_epi16(1);
  const __m128i top = _mm_set1_epi16(0x7E);
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
    __m128i over = _mm_subs_epu16(_mm_sub_epi16(v, one), top);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, zero)) != 0xFFFF) {
      other.push_back(static_cast<uint32_t>(i / 8));
    }
  }
#endif
  bool tail = false;
  for (; i < n; ++i) {
    out[i] = static_cast<char>(u[i]);
    tail |= static_cast<uint16_t>(u[i] - 1) >= 0x7F;
  }
  if (tail) other.push_back(static_cast<uint32_t>((n - 1) / 8));
  out[n] = '\0';
}

bool holdsNul(const uint16_t* u, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)) != 0) return true;
  }
#endif
  for (; i < n; ++i) {
    if (u[i] == 0) return true;
  }
  return false;
}

bool plainUnits(const uint16_t* u, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<uint16_t>(u[i] - 1) >= 0x7F) return false;
  }
  return true;
}

}  // namespace

KyConversion& threadConverter() {
  thread_local std::unique_ptr<KyConversion> converter;
  thread_local std::string name;
  const char* encoding = agentPort().encoding();
  if (encoding == nullptr) encoding = "";
  if (converter == nullptr || name != encoding) {
    converter = std::make_unique<KyConversion>(encoding);
    name = encoding;
  }
  return *converter;
}

WireTokens::WireTokens(const unsigned short* units, size_t length)
    : units_(reinterpret_cast<const uint16_t*>(units)), total_(units != nullptr ? length : 0) {
  // The whole text is narrowed once; each field is then read where it lies (its terminator
  // written over the first digit of the next field's prefix, which is read from the units).
  // The buffers are the thread's own, reused by its next text.
  thread_local std::vector<char> scratch(256);
  thread_local std::vector<char> narrowed;
  thread_local std::vector<uint32_t> other;
  scratch_ = &scratch;
  narrowed_ = &narrowed;
  converter_ = &threadConverter();
  other_ = &other;
  if (total_ > UINT32_MAX - 1) total_ = 0;  // beyond any Java string
  if (narrowed.size() < total_ + 1) narrowed.resize(total_ + 1);
  narrowAll(units_, total_, narrowed.data(), other);
  narrowedData_ = narrowed.data();
  nextOther();
}

bool WireTokens::nextField() {
  static_assert(kDelimiterUnit == wire::kDelimiter, "one field delimiter");
  exact_ = false;
  if (message_ != nullptr) {
    const char* token = message_->nextToken();
    text_ = token;
    length_ = token != nullptr ? std::strlen(token) : 0;
    return token != nullptr;
  }
  text_ = nullptr;
  length_ = 0;
  if (ended_) return false;
  // The length prefix: decimal digits running up to the delimiter.
  const uint16_t* u = units_;
  const size_t total = total_;
  const size_t first = pos_;
  size_t k = first;
  size_t fieldLength = 0;
  k = scanDigits(u, k, total - k < wire::kMaxPrefixDigits ? total : k + wire::kMaxPrefixDigits,
                 fieldLength);
  size_t start = k + 1;
  if (k == first || k >= total || u[k] != wire::kDelimiter || fieldLength < 1 ||
      fieldLength > total - start) {
    ended_ = true;
    return false;
  }
  size_t n = fieldLength;
  size_t end = start + n;
  fieldAt_ = first;
  pos_ = end;
  // Blocks before this field no longer matter; a field that meets a block holding a unit that
  // is not plain ASCII is looked at unit by unit.
  while (otherEnd_ <= start) nextOther();
  bool plain = otherEnd_ - 8 >= end || plainUnits(u + start, n);
  if (plain && ascii_ < 0) ascii_ = converter_->asciiCompatible() ? 1 : 0;
  if (plain && ascii_ == 1) {
    char* text = narrowed_->data() + start;
    text[n] = '\0';
    text_ = text;
    length_ = n;
    return true;
  }
  if (!convert(u + start, n)) {
    ended_ = true;
    return false;
  }
  return true;
}

void WireTokens::nextOther() {
  const std::vector<uint32_t>& other = *other_;
  otherEnd_ =
      nextOther_ < other.size() ? (static_cast<size_t>(other[nextOther_]) + 1) * 8 : SIZE_MAX;
  ++nextOther_;
}

bool WireTokens::convert(const uint16_t* field, size_t units) {
  if (holdsNul(field, units)) {
    fault_ = "a text holds the character U+0000";
    return false;
  }
  if (codec_ == kCodecUnknown) codec_ = nativeCodecOf(*converter_, &codec_) ? codec_ : kNoCodec;
  if (codec_ != kNoCodec) {
    // An encoding the kit converts itself: straight into the scratch.
    auto cs = static_cast<codec::Charset>(codec_);
    size_t capacity = codec::nativeCapacityFromUtf16(cs, field, units);
    if (scratch_->size() < capacity + 1) scratch_->resize(capacity + 1);
    codec::Converted done =
        codec::utf16ToNative(cs, field, units, reinterpret_cast<uint8_t*>(scratch_->data()));
    size_t n = done.written;
    exact_ = done.malformed == units;
    (*scratch_)[n] = '\0';
    text_ = scratch_->data();
    length_ = n;
    return true;
  }
  int bytes = static_cast<int>(units);
  char* native =
      converter_->fromUTF16ToNative(nullptr, reinterpret_cast<const unsigned short*>(field), bytes);
  if (native == nullptr || bytes < 0) {
    std::free(native);
    logEncodingError();
    fault_ = "a text cannot be converted to the native encoding";
    return false;
  }
  size_t n = std::strlen(native);
  if (scratch_->size() < n + 1) scratch_->resize(n + 1);
  std::memcpy(scratch_->data(), native, n + 1);
  std::free(native);
  text_ = scratch_->data();
  length_ = n;
  return true;
}

// A finished request's storage, kept by its thread for the next request.
struct FieldSources::Spare {
  std::vector<Entry> entries;
  std::vector<char> natives;
  std::vector<uint16_t> units;
  std::vector<uint32_t> byPointer;
  bool held = false;  // a request of this thread has it
};

FieldSources::Spare& FieldSources::spare() {
  thread_local Spare kept;
  return kept;
}

namespace {
// Storage grown beyond this by one request goes back to the allocator instead.
constexpr size_t kSpareUpTo = 256 * 1024;
}  // namespace

FieldSources::FieldSources() {
  Spare& s = spare();
  if (!s.held) {
    s.held = true;
    owner_ = true;
    entries_.swap(s.entries);
    natives_.swap(s.natives);
    units_.swap(s.units);
    byPointer_.swap(s.byPointer);
  }
}

FieldSources::~FieldSources() {
  if (!owner_) return;
  Spare& s = spare();
  s.held = false;
  if (natives_.capacity() <= kSpareUpTo && units_.capacity() <= kSpareUpTo / 2 &&
      entries_.capacity() <= kSpareUpTo / sizeof(Entry)) {
    entries_.clear();
    natives_.clear();
    units_.clear();
    byPointer_.clear();
    entries_.swap(s.entries);
    natives_.swap(s.natives);
    units_.swap(s.units);
    byPointer_.swap(s.byPointer);
  }
}

void FieldSources::note(const KyConversion* converter, const char* kept, const char* native,
                        size_t bytes, const uint16_t* field, size_t units) {
  if (natives_.size() + bytes > UINT32_MAX || units_.size() + units > UINT32_MAX) return;
  converter_ = converter;
  if (entries_.empty()) {
    // Room for the few converted fields of a typical request at once.
    if (entries_.capacity() < 64) entries_.reserve(64);
    if (natives_.capacity() < 2048) natives_.reserve(2048);
    if (units_.capacity() < 1024) units_.reserve(1024);
  }
  Entry e;
  e.kept = kept;
  e.native = static_cast<uint32_t>(natives_.size());
  e.bytes = static_cast<uint32_t>(bytes);
  e.at = static_cast<uint32_t>(units_.size());
  e.units = static_cast<uint32_t>(units);
  natives_.insert(natives_.end(), native, native + bytes);
  units_.insert(units_.end(), field, field + units);
  entries_.push_back(e);
  byPointer_.clear();
}

const FieldSources::Entry* FieldSources::lookUp(const char* text) {
  if (byPointer_.size() != entries_.size()) {
    byPointer_.resize(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) byPointer_[i] = static_cast<uint32_t>(i);
    std::sort(byPointer_.begin(), byPointer_.end(), [this](uint32_t a, uint32_t b) {
      return std::less<const char*>()(entries_[a].kept, entries_[b].kept);
    });
  }
  auto it = std::lower_bound(
      byPointer_.begin(), byPointer_.end(), text,
      [this](uint32_t a, const char* t) { return std::less<const char*>()(entries_[a].kept, t); });
  if (it == byPointer_.end() || entries_[*it].kept != text) return nullptr;
  return &entries_[*it];
}

const uint16_t* FieldSources::find(const KyConversion* converter, const char* text, size_t n,
                                   size_t* units) {
  if (entries_.empty() || converter != converter_) return nullptr;
  const Entry* e = cursor_ < entries_.size() && entries_[cursor_].kept == text ? &entries_[cursor_]
                                                                               : lookUp(text);
  if (e == nullptr) return nullptr;
  cursor_ = static_cast<size_t>(e - entries_.data()) + 1;
  if (e->bytes != n || std::memcmp(text, natives_.data() + e->native, n) != 0) return nullptr;
  *units = e->units;
  return units_.data() + e->at;
}

}  // namespace vy
