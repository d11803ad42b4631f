#include "WireTokens.hpp"

#include <cstdlib>
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
}

bool WireTokens::next() {
  text_ = nullptr;
  length_ = 0;
  if (message_ != nullptr) {
    const char* token = message_->nextToken();
    if (token == nullptr) return false;
    text_ = token;
    length_ = std::strlen(token);
    return true;
  }
  if (ended_) return false;
  // The length prefix: decimal digits running up to the delimiter.
  const uint16_t* u = units_;
  size_t k = pos_;
  unsigned long long fieldLength = 0;
  size_t limit = total_ - pos_ < wire::kMaxPrefixDigits ? total_ : pos_ + wire::kMaxPrefixDigits;
  while (k < limit && u[k] >= '0' && u[k] <= '9') fieldLength = fieldLength * 10 + (u[k++] - '0');
  if (k == pos_ || k >= total_ || u[k] != wire::kDelimiter || fieldLength < 1 ||
      fieldLength > total_ - (k + 1)) {
    ended_ = true;
    return false;
  }
  size_t start = k + 1;
  size_t n = static_cast<size_t>(fieldLength);
  // Blocks before this field no longer matter; a field that meets a block holding a unit that
  // is not plain ASCII is looked at unit by unit.
  const std::vector<uint32_t>& other = *other_;
  while (nextOther_ < other.size() && (other[nextOther_] + 1) * 8 <= start) ++nextOther_;
  bool plain =
      nextOther_ == other.size() || other[nextOther_] * 8 >= start + n || plainUnits(u + start, n);
  if (plain && ascii_ < 0) ascii_ = converter_->asciiCompatible() ? 1 : 0;
  if (!plain || ascii_ == 0) {
    if (!convert(u + start, n)) {
      ended_ = true;
      return false;
    }
  } else {
    char* text = narrowed_->data() + start;
    text[n] = '\0';
    text_ = text;
    length_ = n;
  }
  pos_ = start + n;
  return true;
}

bool WireTokens::convert(const uint16_t* field, size_t units) {
  for (size_t i = 0; i < units; ++i) {
    if (field[i] == 0) {
      fault_ = "a text holds the character U+0000";
      return false;
    }
  }
  if (codec_ == kCodecUnknown) codec_ = nativeCodecOf(*converter_, &codec_) ? codec_ : kNoCodec;
  if (codec_ != kNoCodec) {
    // An encoding the kit converts itself: straight into the scratch.
    auto cs = static_cast<codec::Charset>(codec_);
    size_t capacity = codec::nativeCapacityFromUtf16(cs, field, units);
    if (scratch_->size() < capacity + 1) scratch_->resize(capacity + 1);
    size_t n = codec::utf16ToNative(cs, field, units, reinterpret_cast<uint8_t*>(scratch_->data()))
                   .written;
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

}  // namespace vy
