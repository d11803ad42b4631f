// The JVM's modified UTF-8, read as NewStringUTF reads it, to native bytes as String.getBytes
// writes them.
#include "Codec.hpp"
#include "ScalarCodec.hpp"

namespace vy::codec {
namespace {

template <typename Sink>
Converted readAll(const uint8_t* s, size_t n, uint8_t* out, Sink& sink) {
  size_t malformed = n;
  bool lost = false;
  size_t i = scalar::readModifiedInStep(s, n, 0, n, sink, &lost, &malformed);
  if (lost) scalar::readModifiedCounted(s, n, i, sink);
  sink.finish();
  return {static_cast<size_t>(sink.p - out), malformed};
}

}  // namespace

// A character read from one byte above 0x7F (a byte that starts no sequence) may take two bytes
// in UTF-8; every other character takes no more bytes than it was read from.
size_t nativeCapacityFromModified(Charset cs, const uint8_t* s, size_t n) {
  if (cs != Charset::kUtf8) return n;
  size_t high = 0;
  for (size_t i = 0; i < n; ++i) high += s[i] >> 7;
  return n + high;
}

Converted modifiedUtf8ToNative(Charset cs, const uint8_t* s, size_t n, uint8_t* out) {
  if (cs == Charset::kUtf8) {
    scalar::Utf8Out sink{out};
    return readAll(s, n, out, sink);
  }
  scalar::EightBitOut sink{out, cs == Charset::kLatin1 ? 0x100u : 0x80u};
  return readAll(s, n, out, sink);
}

}  // namespace vy::codec
