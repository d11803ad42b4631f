#include "WireTokens.hpp"

#include <cstdlib>
#include <memory>
#include <string>

#include "AgentPort.hpp"
#include "KyConversion.hpp"
#include "StringMessage.hpp"
#include "WireText.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vy {
namespace {

// Narrows n units of `field` to bytes at `out` while they are ASCII without U+0000; true when
// all of them were. `out` has room for n rounded up to 8, and units may be read up to `end`.
bool narrowPlain(const uint16_t* field, size_t n, const uint16_t* end, char* out) {
  size_t i = 0;
#if defined(__SSE2__)
  // Eight units at a time (fields are short, so whole blocks are read while the text lasts):
  // unit - 1 above 0x7E is U+0000 or beyond ASCII.
  const __m128i one = _mm_set1_epi16(1);
  const __m128i top = _mm_set1_epi16(0x7E);
  const __m128i zero = _mm_setzero_si128();
  while (i < n && static_cast<size_t>(end - (field + i)) >= 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field + i));
    __m128i over = _mm_subs_epu16(_mm_sub_epi16(v, one), top);
    unsigned good = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(over, zero)));
    size_t lanes = n - i < 8 ? n - i : 8;
    unsigned wanted = lanes == 8 ? 0xFFFFu : (1u << (2 * lanes)) - 1;
    if ((good & wanted) != wanted) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
    i += 8;
  }
#endif
  unsigned other = 0;
  for (; i < n; ++i) {
    uint16_t c = field[i];
    other |= static_cast<unsigned>(static_cast<uint16_t>(c - 1) >= 0x7F);
    out[i] = static_cast<char>(c);
  }
  return other == 0;
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
  // One scratch per thread: a field is narrowed into it and read before the next one.
  thread_local std::vector<char> scratch(256);
  scratch_ = &scratch;
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
  size_t limit = total_ - pos_ < wire::kMaxPrefixDigits ? total_ : pos_ + wire::kMaxPrefixDigits;
  unsigned long long fieldLength = 0;
  while (k < limit && u[k] >= '0' && u[k] <= '9') fieldLength = fieldLength * 10 + (u[k++] - '0');
  if (k == pos_ || k >= total_ || u[k] != wire::kDelimiter || fieldLength < 1 ||
      fieldLength > total_ - (k + 1)) {
    ended_ = true;
    return false;
  }
  const uint16_t* field = u + k + 1;
  size_t n = static_cast<size_t>(fieldLength);
  if (scratch_->size() < n + 9) scratch_->resize(n + 9 + n / 2);
  char* out = scratch_->data();
  // ASCII (without U+0000) is narrowed unit for byte when the encoding allows it.
  bool plain = narrowPlain(field, n, u + total_, out);
  if (plain && ascii_ < 0) ascii_ = threadConverter().asciiCompatible() ? 1 : 0;
  if (!plain || ascii_ == 0) {
    if (!convert(field, n)) {
      ended_ = true;
      return false;
    }
  } else {
    out[n] = '\0';
    text_ = out;
    length_ = n;
  }
  pos_ = k + 1 + n;
  return true;
}

bool WireTokens::convert(const uint16_t* field, size_t units) {
  for (size_t i = 0; i < units; ++i) {
    if (field[i] == 0) {
      fault_ = "a text holds the character U+0000";
      return false;
    }
  }
  int bytes = static_cast<int>(units);
  char* native = threadConverter().fromUTF16ToNative(
      nullptr, reinterpret_cast<const unsigned short*>(field), bytes);
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
