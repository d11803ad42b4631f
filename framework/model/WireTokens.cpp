#include "WireTokens.hpp"

#include <cstdlib>
#include <memory>
#include <string>

#include "AgentPort.hpp"
#include "KyConversion.hpp"
#include "StringMessage.hpp"
#include "WireText.hpp"

namespace vy {

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
  if (scratch_->size() < n + 1) scratch_->resize(n + 1 + n / 2);
  char* out = scratch_->data();
  // ASCII (without U+0000) is narrowed unit for byte when the encoding allows it.
  unsigned other = 0;
  for (size_t i = 0; i < n; ++i) {
    uint16_t c = field[i];
    other |= static_cast<unsigned>(static_cast<uint16_t>(c - 1) >= 0x7F);
    out[i] = static_cast<char>(c);
  }
  if (other == 0 && ascii_ < 0) ascii_ = threadConverter().asciiCompatible() ? 1 : 0;
  if (other != 0 || ascii_ == 0) {
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
