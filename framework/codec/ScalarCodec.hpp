// The exact scalar conversions, one character at a time: the reference every vector path must
// match, and the path taken for any block the vector code declines. Decoders put UTF-16 units
// into a sink; each works on a range of its input so that the vector code can hand it a block.
#ifndef VY_SCALAR_CODEC_HPP
#define VY_SCALAR_CODEC_HPP

#include <cstddef>
#include <cstdint>

namespace vy::codec::scalar {

constexpr uint16_t kReplacement = 0xFFFD;

inline bool isSurrogate(uint32_t c) { return (c & 0xF800) == 0xD800; }
inline bool isHighSurrogate(uint32_t c) { return (c & 0xFC00) == 0xD800; }
inline bool isLowSurrogate(uint32_t c) { return (c & 0xFC00) == 0xDC00; }
inline bool isContinuation(unsigned b) { return (b & 0xC0) == 0x80; }

// Records the first replaced input offset.
inline void noteMalformed(size_t* malformed, size_t at) {
  if (at < *malformed) *malformed = at;
}

// ---- sinks: where decoded UTF-16 units go ------------------------------------------------------

struct UnitsOut {
  uint16_t* p;
  size_t lost = 0;
  void put(uint32_t c) { *p++ = static_cast<uint16_t>(c); }
  bool pending() const { return false; }
  void finish() {}
};

// The JVM's modified UTF-8 (GetStringUTFChars): U+0000 as C0 80, each surrogate on its own.
struct ModifiedUtf8Out {
  uint8_t* p;
  void put(uint32_t c) {
    if (c != 0 && c < 0x80) {
      *p++ = static_cast<uint8_t>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<uint8_t>(0xC0 | (c >> 6));
      *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<uint8_t>(0xE0 | (c >> 12));
      *p++ = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    }
  }
  bool pending() const { return false; }
  void finish() {}
};

// UTF-8 as String.getBytes writes it: a surrogate pair becomes one 4-byte sequence, a surrogate
// without its partner becomes "?". `lost` counts the "?" written.
struct Utf8Out {
  uint8_t* p;
  uint32_t high = 0;  // a high surrogate waiting for its low half
  size_t lost = 0;
  void put(uint32_t c) {
    if (high != 0) {
      uint32_t h = high;
      high = 0;
      if (isLowSurrogate(c)) {
        uint32_t cp = 0x10000 + ((h - 0xD800) << 10) + (c - 0xDC00);
        *p++ = static_cast<uint8_t>(0xF0 | (cp >> 18));
        *p++ = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return;
      }
      *p++ = '?';
      ++lost;
    }
    if (c < 0x80) {
      *p++ = static_cast<uint8_t>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<uint8_t>(0xC0 | (c >> 6));
      *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else if (isHighSurrogate(c)) {
      high = c;
    } else if (isLowSurrogate(c)) {
      *p++ = '?';
      ++lost;
    } else {
      *p++ = static_cast<uint8_t>(0xE0 | (c >> 12));
      *p++ = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    }
  }
  bool pending() const { return high != 0; }
  void finish() {
    if (high != 0) {
      *p++ = '?';
      ++lost;
    }
    high = 0;
  }
};

// ISO-8859-1 (limit 0x100) or US-ASCII (limit 0x80) as String.getBytes writes them: one "?" per
// unmappable character, a surrogate pair counting as one character.
struct EightBitOut {
  uint8_t* p;
  uint32_t limit;
  bool afterHigh = false;
  size_t lost = 0;
  void put(uint32_t c) {
    if (afterHigh) {
      afterHigh = false;
      if (isLowSurrogate(c)) return;  // the pair already gave its "?"
    }
    if (c < limit) {
      *p++ = static_cast<uint8_t>(c);
    } else {
      *p++ = '?';
      ++lost;
      afterHigh = isHighSurrogate(c);
    }
  }
  bool pending() const { return afterHigh; }
  void finish() {}
};

// ---- decoders: native bytes to UTF-16 units ---------------------------------------------------

// UTF-8 exactly as the JVM decodes it for new String(bytes, "UTF-8"): one U+FFFD per malformed
// sequence, where a sequence ends at the first byte that cannot continue it (that byte starts
// the next one); overlong forms, encoded surrogates and code points above U+10FFFF are malformed;
// bytes C0, C1 and F5..FF never start a sequence; a sequence cut short by the end of the input is
// one U+FFFD. Decodes the sequences that start in [i, stop) (stop <= n) and returns where the
// next one starts.
template <typename Sink>
size_t decodeUtf8(const uint8_t* s, size_t n, size_t i, size_t stop, Sink& out, size_t* malformed) {
  while (i < stop) {
    size_t start = i;
    unsigned b1 = s[i++];
    if (b1 < 0x80) {
      out.put(b1);
      continue;
    }
    auto bad = [&] {
      out.put(kReplacement);
      noteMalformed(malformed, start);
    };
    if (b1 >= 0xC2 && b1 <= 0xDF) {
      if (i < n && isContinuation(s[i])) {
        out.put(((b1 & 0x1F) << 6) | (s[i] & 0x3F));
        ++i;
      } else {
        bad();
      }
    } else if ((b1 & 0xF0) == 0xE0) {
      // A second byte that cannot follow b1 ends the sequence at b1 alone.
      auto badSecond = [b1](unsigned b2) {
        return (b1 == 0xE0 && (b2 & 0xE0) == 0x80) || !isContinuation(b2);
      };
      if (i + 1 < n) {
        unsigned b2 = s[i], b3 = s[i + 1];
        if (badSecond(b2)) {
          bad();
        } else if (!isContinuation(b3)) {
          bad();
          i += 1;
        } else {
          uint32_t c = ((b1 & 0x0F) << 12) | ((b2 & 0x3F) << 6) | (b3 & 0x3F);
          if (isSurrogate(c)) {
            bad();
          } else {
            out.put(c);
          }
          i += 2;
        }
      } else if (i < n && badSecond(s[i])) {
        bad();
      } else {
        bad();  // truncated: the rest of the input belongs to it
        return n;
      }
    } else if (b1 >= 0xF0 && b1 <= 0xF7) {
      auto badSecond = [b1](unsigned b2) {
        return b1 > 0xF4 || (b1 == 0xF0 && (b2 < 0x90 || b2 > 0xBF)) ||
               (b1 == 0xF4 && (b2 & 0xF0) != 0x80) || !isContinuation(b2);
      };
      if (i + 2 < n) {
        unsigned b2 = s[i], b3 = s[i + 1], b4 = s[i + 2];
        uint32_t cp = ((b1 & 0x07) << 18) | ((b2 & 0x3F) << 12) | ((b3 & 0x3F) << 6) | (b4 & 0x3F);
        bool complete = isContinuation(b2) && isContinuation(b3) && isContinuation(b4);
        if (complete && cp >= 0x10000 && cp <= 0x10FFFF) {
          out.put(0xD800 + ((cp - 0x10000) >> 10));
          out.put(0xDC00 + ((cp - 0x10000) & 0x3FF));
          i += 3;
        } else {
          bad();
          if (badSecond(b2)) {
            // b1 alone
          } else if (!isContinuation(b3)) {
            i += 1;
          } else {
            i += 2;
          }
        }
      } else if (b1 > 0xF4 || (i < n && badSecond(s[i]))) {
        bad();
      } else {
        // Truncated: b1 and a good second byte are one U+FFFD; a third byte that could continue
        // them is swallowed too, one that could not starts afresh.
        bad();
        ++i;
        if (i < n && !isContinuation(s[i])) continue;
        return n;
      }
    } else {
      bad();  // 80..C1, F8..FF
    }
  }
  return i;
}

// ---- modified UTF-8 as the JVM reads it --------------------------------------------------------

// NewStringUTF makes one character per byte that is not a continuation byte (10xxxxxx); the
// characters are read as complete 1-, 2- or 3-byte sequences (overlong forms accepted), and a
// byte that starts none stands for the character of its own value. A stray continuation byte
// thus takes the place of a later character and the text ends early, as it does in the JVM.

// Reads one character at p; s[n] is the terminator, which ends every sequence.
template <typename Sink>
const uint8_t* readModifiedChar(const uint8_t* p, Sink& out) {
  unsigned c = p[0];
  if (c < 0x80) {
    out.put(c);
    return p + 1;
  }
  if ((c & 0xE0) == 0xC0 && isContinuation(p[1])) {
    out.put(((c & 0x1F) << 6) | (p[1] & 0x3F));
    return p + 2;
  }
  if ((c & 0xF0) == 0xE0 && isContinuation(p[1]) && isContinuation(p[2])) {
    out.put(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
    return p + 3;
  }
  out.put(c);
  return p + 1;
}

// Reads characters from i on, while each consumes exactly one byte that is not a continuation
// byte, until one would start at or after `stop` and the sink has nothing pending. Returns where
// it stopped; *lost is set when it stopped at a stray continuation byte, after which the reading
// must go on with readModifiedCounted. *malformed gets the offset of the first character that
// was replaced (or of the stray byte).
template <typename Sink>
size_t readModifiedInStep(const uint8_t* s, size_t n, size_t i, size_t stop, Sink& out, bool* lost,
                          size_t* malformed) {
  size_t previous = i;  // where the character before i started
  while (i < stop || (out.pending() && i < n)) {
    if (isContinuation(s[i])) {
      *lost = true;
      // A high surrogate still waiting will not find its partner: the stray byte is read next.
      if (out.pending()) noteMalformed(malformed, previous);
      noteMalformed(malformed, i);
      return i;
    }
    bool afterHigh = out.pending();
    if (s[i] < 0x80 && !afterHigh) {  // ASCII is itself in every target
      *out.p++ = s[i++];
      previous = i - 1;
      continue;
    }
    size_t before = out.lost;
    size_t next = static_cast<size_t>(readModifiedChar(s + i, out) - s);
    // A "?" for a high surrogate without its partner is written with the next character.
    if (out.lost != before) noteMalformed(malformed, afterHigh ? previous : i);
    previous = i;
    i = next;
  }
  if (out.pending()) noteMalformed(malformed, previous);  // the text ends after a high surrogate
  return i;
}

// Reads the rest of the text from i as NewStringUTF does: as many characters as [i, n) holds
// bytes that are not continuation bytes.
template <typename Sink>
void readModifiedCounted(const uint8_t* s, size_t n, size_t i, Sink& out) {
  size_t chars = 0;
  for (size_t k = i; k < n; ++k) chars += !isContinuation(s[k]);
  const uint8_t* p = s + i;
  for (size_t k = 0; k < chars; ++k) p = readModifiedChar(p, out);
}

// The reading of [i, stop) into `sink`; returns where the next block starts, n once the reading
// lost its step (it then reads the rest, as the JVM does).
template <typename Sink>
size_t readModified(const uint8_t* s, size_t n, size_t i, size_t stop, Sink& sink,
                    size_t* malformed) {
  bool lost = false;
  i = readModifiedInStep(s, n, i, stop, sink, &lost, malformed);
  if (lost) {
    readModifiedCounted(s, n, i, sink);
    i = n;
  }
  if (i >= n) sink.finish();
  return i;
}

// ---- encoders: UTF-16 units to native bytes -----------------------------------------------------

// Units [i, stop) as String.getBytes("UTF-8") writes them; a pair that starts before stop is
// taken whole. Returns where the next unit to read is.
inline size_t encodeUtf8(const uint16_t* u, size_t n, size_t i, size_t stop, uint8_t*& o,
                         size_t* malformed) {
  while (i < stop) {
    uint32_t c = u[i];
    if (c < 0x80) {
      *o++ = static_cast<uint8_t>(c);
    } else if (c < 0x800) {
      *o++ = static_cast<uint8_t>(0xC0 | (c >> 6));
      *o++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else if (!isSurrogate(c)) {
      *o++ = static_cast<uint8_t>(0xE0 | (c >> 12));
      *o++ = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      *o++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
    } else if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(u[i + 1])) {
      uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      *o++ = static_cast<uint8_t>(0xF0 | (cp >> 18));
      *o++ = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
      *o++ = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
      ++i;
    } else {
      *o++ = '?';
      noteMalformed(malformed, i);
    }
    ++i;
  }
  return i;
}

// Units [i, stop) as String.getBytes writes them for ISO-8859-1 (limit 0x100) or US-ASCII (limit
// 0x80); a pair that starts before stop is taken whole.
inline size_t encodeEightBit(const uint16_t* u, size_t n, size_t i, size_t stop, uint32_t limit,
                             uint8_t*& o, size_t* malformed) {
  while (i < stop) {
    uint32_t c = u[i];
    if (c < limit) {
      *o++ = static_cast<uint8_t>(c);
    } else {
      *o++ = '?';
      noteMalformed(malformed, i);
      if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(u[i + 1])) ++i;
    }
    ++i;
  }
  return i;
}

}  // namespace vy::codec::scalar

#endif  // VY_SCALAR_CODEC_HPP
