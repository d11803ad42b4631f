// The fixed texts and numbers of the wire formats, in one place for every reader and writer.
#ifndef VY_WIRE_TEXT_HPP
#define VY_WIRE_TEXT_HPP

#include <climits>
#include <cstddef>

namespace vy {
namespace wire {

constexpr const char kFormatVersion[] = "4.2.0.0";  // of objects, specs and transaction sections
constexpr const char kObjectMarker[] = "BusinessObject";
constexpr const char kTransactionMarker[] = "TransactionBusinessObject";
constexpr const char kIgnoreText[] = "KyIgnore";  // a value left out
constexpr const char kBlankText[] = "KyBlank";    // the blank marker
constexpr const char kTrueText[] = "true";        // delta flags
constexpr const char kFalseText[] = "false";
constexpr const char kNullText[] = "null";  // what an empty or missing text is written as

// The field delimiter of object and spec texts: the length prefix, this unit, the text.
constexpr unsigned short kDelimiter = 3;
// A length prefix longer than this cannot be a field length of a Java string.
constexpr int kMaxPrefixDigits = 10;

// Type numbers 1 to 7 are the simple types (Boolean ... LongText); 0 is a child object.
constexpr bool isSimpleType(int type) { return type >= 1 && type <= 7; }

// The one reading of a count field (attribute counts, child counts, in objects and transaction
// sections alike): an optional minus sign and 1 to 10 decimal digits, exactly, within the int
// range. False for anything else.
inline bool parseCount(const char* text, size_t length, long* out) {
  size_t i = 0;
  bool negative = length > 0 && text[0] == '-';
  if (negative) i = 1;
  size_t digits = length - i;
  if (digits == 0 || digits > 10) return false;
  long long value = 0;
  for (; i < length; ++i) {
    unsigned d = static_cast<unsigned char>(text[i]) - '0';
    if (d > 9) return false;
    value = value * 10 + d;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return false;
  *out = static_cast<long>(value);
  return true;
}

}  // namespace wire
}  // namespace vy

#endif  // VY_WIRE_TEXT_HPP
