// The native codecs behind KyConversion: UTF-8, ISO-8859-1 and US-ASCII on one side, the JVM's
// UTF-16 and modified UTF-8 on the other, with results identical to the JVM's own, replacement
// characters included. No JNI here: each function converts a buffer of known length into an
// output buffer the caller sized with the matching capacity function, and tells how much it
// wrote and where the input first needed a replacement.
//
// The vector code is chosen once per process for the machine (x86: SSE4.1, AVX2 or AVX-512; on
// AVX-512 every text takes it, a short one included, through masked loads); any block it cannot
// prove well formed is converted by the exact scalar code, which is also the whole
// implementation elsewhere.
#ifndef VY_CODEC_HPP
#define VY_CODEC_HPP

#include <cstddef>
#include <cstdint>

#include "Vector.hpp"

namespace vy::codec {

enum class Charset : uint8_t { kUtf8, kLatin1, kAscii };

// What a conversion produced: `written` output units (bytes or UTF-16 units, no terminator), and
// the offset of the first input unit that had to be replaced (a malformed sequence, a lone
// surrogate, or a character the target cannot hold), or the input's length when none was.
struct Converted {
  size_t written;
  size_t malformed;
};

// Up to this many input units the capacity functions give the worst case without reading the
// text, so a short text is converted in one pass into a buffer that is never more than a few
// hundred bytes too large.
constexpr size_t kUncountedUpTo = 64;

// Native bytes to UTF-16 units (String(byte[], charset)). `out` holds utf16Capacity(n) units.
inline size_t utf16Capacity(size_t n) { return n + kSlack; }
Converted nativeToUtf16(Charset cs, const uint8_t* s, size_t n, uint16_t* out);

// Native bytes to the JVM's modified UTF-8 (U+0000 as C0 80, supplementary characters as two
// 3-byte surrogates). `out` holds modifiedUtf8Capacity(s, n) bytes.
size_t modifiedUtf8Capacity(const uint8_t* s, size_t n);
// The same for a text of n bytes without NULs, `high` of them above 0x7F.
inline size_t modifiedUtf8CapacityOf(size_t n, size_t high) { return n + 2 * high + kSlack; }
// The capacity for any text of n bytes: every byte above 0x7F grows to at most three bytes (a
// malformed UTF-8 sequence, which holds at least one, becomes U+FFFD, a 4-byte one a 6-byte
// surrogate pair, a Latin-1 byte two bytes, a US-ASCII one U+FFFD), and a NUL to two.
inline size_t modifiedUtf8Bound(size_t n) { return 3 * n + kSlack; }
Converted nativeToModifiedUtf8(Charset cs, const uint8_t* s, size_t n, uint8_t* out);

// Modified UTF-8 as NewStringUTF reads it (malformed input included) to native bytes as
// String.getBytes writes them. s[n] must be the terminating NUL. `out` holds
// nativeCapacityFromModified(cs, s, n) bytes.
size_t nativeCapacityFromModified(Charset cs, const uint8_t* s, size_t n);
// The same for a text of n bytes, `high` of them above 0x7F.
inline size_t nativeCapacityFromModifiedOf(Charset cs, size_t n, size_t high) {
  return (cs == Charset::kUtf8 ? n + high : n) + kSlack;
}
// The capacity for any text of n bytes.
inline size_t nativeBoundFromModified(Charset cs, size_t n) {
  return (cs == Charset::kUtf8 ? 2 * n : n) + kSlack;
}
Converted modifiedUtf8ToNative(Charset cs, const uint8_t* s, size_t n, uint8_t* out);

// UTF-16 units to native bytes as String.getBytes writes them. `out` holds
// nativeCapacityFromUtf16(cs, u, n) bytes (counted), or nativeBoundFromUtf16(cs, n) (the worst
// case, three bytes a unit in UTF-8, for converting in one pass without reading the text first).
size_t nativeCapacityFromUtf16(Charset cs, const uint16_t* u, size_t n);
inline size_t nativeBoundFromUtf16(Charset cs, size_t n) {
  return (cs == Charset::kUtf8 ? 3 * n : n) + kSlack;
}
Converted utf16ToNative(Charset cs, const uint16_t* u, size_t n, uint8_t* out);

// True when the input holds no byte above 0x7F.
bool isAscii(const uint8_t* s, size_t n);

// The length of the terminated text s (as strlen), and in *high how many of its bytes are above
// 0x7F (0: the text is ASCII): one pass for both.
size_t measure(const char* s, size_t* high);

// The vector code in use: none (the scalar code alone), SSE4.1, AVX2, or AVX-512 (BW, VL, VBMI,
// VBMI2).
// The best the machine has is chosen when the library loads; tests and the fuzzer step through
// the levels to hold each to the scalar code (not while other threads convert).
enum class VectorLevel : uint8_t { kNone, kSse41, kAvx2, kAvx512 };
VectorLevel bestVectorLevel();
void useVectorLevel(VectorLevel level);  // capped at the best

}  // namespace vy::codec

#endif  // VY_CODEC_HPP
