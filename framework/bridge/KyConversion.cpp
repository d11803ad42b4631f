#include "KyConversion.hpp"

#include <strings.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "BridgeState.hpp"
#include "JniEnv.hpp"

namespace vy {

// The JVM's answer for one encoding name. Entries form a list that only grows, so readers walk
// it without a lock; they live as long as the process.
struct ResolvedCharset {
  std::string name;  // the name exactly as callers give it
  int kind;          // a CharsetKind
  jstring javaName;  // global reference: the name as the JVM path passes it
  const ResolvedCharset* next;
};

}  // namespace vy

namespace {

using vy::ResolvedCharset;

enum CharsetKind : int {
  kUnknown,  // the JVM refuses the name: every conversion fails
  kUtf8,
  kLatin1,
  kAscii,
  kOther,  // transcoded by the JVM
};

constexpr uint16_t kReplacement = 0xFFFD;
constexpr char kFile[] = "KyConversion";

// ---- JVM identifiers -------------------------------------------------------------------------

struct JavaIds {
  jclass string = nullptr;
  jmethodID newMbcs = nullptr;   // String(byte[], String)
  jmethodID getBytes = nullptr;  // String.getBytes(String)
  jclass charset = nullptr;
  jmethodID forName = nullptr;        // static Charset.forName(String)
  jmethodID canonicalName = nullptr;  // Charset.name()
  jclass illegalArgument = nullptr;   // what forName throws for an unknown or illegal name
};

JavaIds gIds;
std::atomic<bool> gIdsReady{false};
std::mutex gIdsLock;

jclass globalClass(JNIEnv* env, const char* name, const char* what) {
  jclass local = env->FindClass(name);
  if (local == nullptr) {
    catchJavaErrors(env);
    vy::environmentFailure(what, kFile);
  }
  jclass global = static_cast<jclass>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  return global;
}

jmethodID methodId(JNIEnv* env, jclass cls, const char* name, const char* sig, const char* what,
                   bool isStatic = false) {
  jmethodID mid =
      isStatic ? env->GetStaticMethodID(cls, name, sig) : env->GetMethodID(cls, name, sig);
  if (mid == nullptr) {
    catchJavaErrors(env);
    vy::environmentFailure(what, kFile);
  }
  return mid;
}

// ---- the answer for each encoding name ------------------------------------------------------

std::atomic<const ResolvedCharset*> gCharsets{nullptr};
std::mutex gCharsetsLock;

// Names are short; a plain loop beats the library's vectorised compare here.
bool sameName(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

const ResolvedCharset* findCharset(const char* name) {
  for (const ResolvedCharset* c = gCharsets.load(std::memory_order_acquire); c != nullptr;
       c = c->next) {
    if (sameName(c->name.c_str(), name)) return c;
  }
  return nullptr;
}

int kindOfCanonicalName(JNIEnv* env, jstring canonical) {
  jsize units = env->GetStringLength(canonical);
  if (units > 16) return kOther;
  char buf[64] = {};  // 16 units take at most 48 bytes of modified UTF-8
  env->GetStringUTFRegion(canonical, 0, units, buf);
  if (std::strcmp(buf, "UTF-8") == 0) return kUtf8;
  if (std::strcmp(buf, "ISO-8859-1") == 0) return kLatin1;
  if (std::strcmp(buf, "US-ASCII") == 0) return kAscii;
  return kOther;
}

// Asks Charset.forName(name).name(). False when the JVM could not answer at all (out of memory),
// which is not remembered.
bool askJvm(JNIEnv* env, const char* name, int* kind, jstring* javaName) {
  jstring local = env->NewStringUTF(name);
  if (local == nullptr) {
    env->ExceptionClear();
    return false;
  }
  jobject cs = env->CallStaticObjectMethod(gIds.charset, gIds.forName, local);
  if (jthrowable error = env->ExceptionOccurred()) {
    env->ExceptionClear();
    bool refused = env->IsInstanceOf(error, gIds.illegalArgument);
    env->DeleteLocalRef(error);
    if (cs != nullptr) env->DeleteLocalRef(cs);
    if (!refused) {
      env->DeleteLocalRef(local);
      return false;
    }
    *kind = kUnknown;
  } else {
    jstring canonical = static_cast<jstring>(env->CallObjectMethod(cs, gIds.canonicalName));
    env->DeleteLocalRef(cs);
    if (env->ExceptionCheck() || canonical == nullptr) {
      env->ExceptionClear();
      env->DeleteLocalRef(local);
      return false;
    }
    *kind = kindOfCanonicalName(env, canonical);
    env->DeleteLocalRef(canonical);
  }
  *javaName = static_cast<jstring>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  return *javaName != nullptr;
}

const ResolvedCharset* resolveCharset(JNIEnv* env, const char* name) {
  if (const ResolvedCharset* known = findCharset(name)) return known;
  std::lock_guard<std::mutex> guard(gCharsetsLock);
  if (const ResolvedCharset* known = findCharset(name)) return known;  // filled meanwhile
  int kind = kUnknown;
  jstring javaName = nullptr;
  if (!askJvm(env, name, &kind, &javaName)) return nullptr;
  auto* entry =
      new ResolvedCharset{name, kind, javaName, gCharsets.load(std::memory_order_relaxed)};
  gCharsets.store(entry, std::memory_order_release);
  return entry;
}

// ---- text buffers -----------------------------------------------------------------------------

char* copyBytes(const char* text, size_t n) {
  char* out = static_cast<char*>(std::malloc(n + 1));
  if (out == nullptr) return nullptr;
  std::memcpy(out, text, n);
  out[n] = '\0';
  return out;
}

// Native results are written into a buffer sized for the worst case; a large unused tail is
// handed back.
char* finishBytes(char* out, size_t used, size_t capacity) {
  out[used] = '\0';
  if (capacity - used > 256) {
    if (char* smaller = static_cast<char*>(std::realloc(out, used + 1))) return smaller;
  }
  return out;
}

bool isAscii(const unsigned char* s, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, s + i, 8);
    if (word & 0x8080808080808080ULL) return false;
  }
  for (; i < n; ++i) {
    if (s[i] & 0x80) return false;
  }
  return true;
}

bool isSurrogate(uint32_t c) { return (c & 0xF800) == 0xD800; }
bool isHighSurrogate(uint32_t c) { return (c & 0xFC00) == 0xD800; }
bool isLowSurrogate(uint32_t c) { return (c & 0xFC00) == 0xDC00; }
bool isContinuation(unsigned b) { return (b & 0xC0) == 0x80; }

// ---- sinks: where decoded UTF-16 units go ------------------------------------------------------

// Where the coded bytes of a sink go: into a buffer, or only counted.
struct ByteBuffer {
  unsigned char* p;
  void byte(uint32_t b) { *p++ = static_cast<unsigned char>(b); }
};
struct ByteCount {
  size_t n = 0;
  void byte(uint32_t) { ++n; }
};

// The units as they are.
struct UnitsOut {
  uint16_t* p;
  void put(uint32_t c) { *p++ = static_cast<uint16_t>(c); }
  void finish() {}
};

// The JVM's modified UTF-8 (GetStringUTFChars): U+0000 as C0 80, each surrogate on its own.
template <typename Out>
struct ModifiedUtf8Out {
  Out out;
  void put(uint32_t c) {
    if (c != 0 && c < 0x80) {
      out.byte(c);
    } else if (c < 0x800) {
      out.byte(0xC0 | (c >> 6));
      out.byte(0x80 | (c & 0x3F));
    } else {
      out.byte(0xE0 | (c >> 12));
      out.byte(0x80 | ((c >> 6) & 0x3F));
      out.byte(0x80 | (c & 0x3F));
    }
  }
  void finish() {}
};

// UTF-8 as String.getBytes writes it: a surrogate pair becomes one 4-byte sequence, a surrogate
// without its partner becomes "?".
template <typename Out>
struct Utf8Out {
  Out out;
  uint32_t high = 0;  // a high surrogate waiting for its low half
  void put(uint32_t c) {
    if (high != 0) {
      uint32_t h = high;
      high = 0;
      if (isLowSurrogate(c)) {
        uint32_t cp = 0x10000 + ((h - 0xD800) << 10) + (c - 0xDC00);
        out.byte(0xF0 | (cp >> 18));
        out.byte(0x80 | ((cp >> 12) & 0x3F));
        out.byte(0x80 | ((cp >> 6) & 0x3F));
        out.byte(0x80 | (cp & 0x3F));
        return;
      }
      out.byte('?');
    }
    if (c < 0x80) {
      out.byte(c);
    } else if (c < 0x800) {
      out.byte(0xC0 | (c >> 6));
      out.byte(0x80 | (c & 0x3F));
    } else if (isHighSurrogate(c)) {
      high = c;
    } else if (isLowSurrogate(c)) {
      out.byte('?');
    } else {
      out.byte(0xE0 | (c >> 12));
      out.byte(0x80 | ((c >> 6) & 0x3F));
      out.byte(0x80 | (c & 0x3F));
    }
  }
  void finish() {
    if (high != 0) out.byte('?');
    high = 0;
  }
};

// ISO-8859-1 (limit 0x100) or US-ASCII (limit 0x80) as String.getBytes writes them: one "?" per
// unmappable character, a surrogate pair counting as one character.
template <typename Out>
struct EightBitOut {
  Out out;
  uint32_t limit;
  bool afterHigh = false;
  void put(uint32_t c) {
    if (afterHigh) {
      afterHigh = false;
      if (isLowSurrogate(c)) return;  // the pair already gave its "?"
    }
    if (c < limit) {
      out.byte(c);
    } else {
      out.byte('?');
      afterHigh = isHighSurrogate(c);
    }
  }
  void finish() {}
};

// ---- decoders: native bytes to UTF-16 units ---------------------------------------------------

// UTF-8 exactly as the JVM decodes it for new String(bytes, "UTF-8"): one U+FFFD per malformed
// sequence, where a sequence ends at the first byte that cannot continue it (that byte starts
// the next one); overlong forms, encoded surrogates and code points above U+10FFFF are malformed;
// bytes C0, C1 and F5..FF never start a sequence; a sequence cut short by the end of the input is
// one U+FFFD.
template <typename Sink>
void decodeUtf8(const unsigned char* s, size_t n, Sink& out) {
  size_t i = 0;
  while (i < n) {
    unsigned b1 = s[i++];
    if (b1 < 0x80) {
      out.put(b1);
    } else if (b1 >= 0xC2 && b1 <= 0xDF) {
      if (i < n && isContinuation(s[i])) {
        out.put(((b1 & 0x1F) << 6) | (s[i] & 0x3F));
        ++i;
      } else {
        out.put(kReplacement);
      }
    } else if ((b1 & 0xF0) == 0xE0) {
      // A second byte that cannot follow b1 ends the sequence at b1 alone.
      auto badSecond = [b1](unsigned b2) {
        return (b1 == 0xE0 && (b2 & 0xE0) == 0x80) || !isContinuation(b2);
      };
      if (i + 1 < n) {
        unsigned b2 = s[i], b3 = s[i + 1];
        if (badSecond(b2)) {
          out.put(kReplacement);
        } else if (!isContinuation(b3)) {
          out.put(kReplacement);
          i += 1;
        } else {
          uint32_t c = ((b1 & 0x0F) << 12) | ((b2 & 0x3F) << 6) | (b3 & 0x3F);
          out.put(isSurrogate(c) ? kReplacement : c);
          i += 2;
        }
      } else if (i < n && badSecond(s[i])) {
        out.put(kReplacement);
      } else {
        out.put(kReplacement);  // truncated: the rest of the input belongs to it
        return;
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
          out.put(kReplacement);
          if (badSecond(b2)) {
            // b1 alone
          } else if (!isContinuation(b3)) {
            i += 1;
          } else {
            i += 2;
          }
        }
      } else if (b1 > 0xF4 || (i < n && badSecond(s[i]))) {
        out.put(kReplacement);
      } else {
        // Truncated: b1 and a good second byte are one U+FFFD; a third byte that could continue
        // them is swallowed too, one that could not starts afresh.
        out.put(kReplacement);
        ++i;
        if (i < n && !isContinuation(s[i])) continue;
        return;
      }
    } else {
      out.put(kReplacement);  // 80..C1, F8..FF
    }
  }
}

template <typename Sink>
void decodeLatin1(const unsigned char* s, size_t n, Sink& out) {
  for (size_t i = 0; i < n; ++i) out.put(s[i]);
}

template <typename Sink>
void decodeAscii(const unsigned char* s, size_t n, Sink& out) {
  for (size_t i = 0; i < n; ++i) out.put(s[i] < 0x80 ? s[i] : kReplacement);
}

template <typename Sink>
void decodeNative(int kind, const unsigned char* s, size_t n, Sink& out) {
  switch (kind) {
    case kUtf8:
      decodeUtf8(s, n, out);
      break;
    case kLatin1:
      decodeLatin1(s, n, out);
      break;
    default:
      decodeAscii(s, n, out);
      break;
  }
}

// Modified UTF-8 exactly as the JVM's NewStringUTF reads it, malformed input included. The string
// gets one character per byte that is not a continuation byte (10xxxxxx); the characters are read
// as complete 1-, 2- or 3-byte sequences (overlong forms accepted), and a byte that starts none
// stands for the character of its own value. A stray continuation byte thus takes the place of a
// later character and the text ends early, as it does in the JVM.
template <typename Sink>
void readModifiedUtf8(const unsigned char* s, size_t n, Sink& out) {
  size_t chars = 0;
  for (size_t i = 0; i < n; ++i) chars += !isContinuation(s[i]);
  const unsigned char* p = s;  // s[n] is the terminator, which ends every sequence below
  for (size_t k = 0; k < chars; ++k) {
    unsigned c = p[0];
    if (c < 0x80) {
      out.put(c);
      p += 1;
    } else if ((c & 0xE0) == 0xC0 && isContinuation(p[1])) {
      out.put(((c & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else if ((c & 0xF0) == 0xE0 && isContinuation(p[1]) && isContinuation(p[2])) {
      out.put(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      p += 3;
    } else {
      out.put(c);
      p += 1;
    }
  }
}

// ---- native conversions ----------------------------------------------------------------------

// Above this worst-case size a counting pass sizes the result exactly: a generous buffer for a
// long text would come from fresh pages every call.
constexpr size_t kMeasureAbove = 8192;

// Runs `feed` (which puts units into a sink) into a new terminated byte buffer. `makeSink` builds
// the sink around a ByteBuffer or a ByteCount; `worstCase` bounds the bytes produced.
template <typename MakeSink, typename Feed>
char* produceBytes(size_t worstCase, MakeSink makeSink, Feed feed, size_t* length) {
  size_t capacity = worstCase + 1;
  if (worstCase > kMeasureAbove) {
    auto counter = makeSink(ByteCount{});
    feed(counter);
    counter.finish();
    capacity = counter.out.n + 1;
  }
  char* buf = static_cast<char*>(std::malloc(capacity));
  if (buf == nullptr) return nullptr;
  auto writer = makeSink(ByteBuffer{reinterpret_cast<unsigned char*>(buf)});
  feed(writer);
  writer.finish();
  *length = static_cast<size_t>(writer.out.p - reinterpret_cast<unsigned char*>(buf));
  return finishBytes(buf, *length, capacity);
}

// Encodes the units `feed` puts with the target charset's encoder; `units` bounds their number.
template <typename Feed>
char* encodeNative(int kind, size_t units, Feed feed, size_t* length) {
  if (kind == kUtf8) {
    return produceBytes(
        3 * units, [](auto out) { return Utf8Out<decltype(out)>{out}; }, feed, length);
  }
  uint32_t limit = kind == kLatin1 ? 0x100 : 0x80;
  return produceBytes(
      units,
      [limit](auto out) {
        return EightBitOut<decltype(out)>{out, limit};
      },
      feed, length);
}

// Widens the leading ASCII run of `s` into `out`; returns its length. Blocks of 16 keep the
// common all-ASCII text on vector instructions.
size_t widenAscii(const unsigned char* s, size_t n, uint16_t* out) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    uint64_t a, b;
    std::memcpy(&a, s + i, 8);
    std::memcpy(&b, s + i + 8, 8);
    if ((a | b) & 0x8080808080808080ULL) break;
    for (size_t k = 0; k < 16; ++k) out[i + k] = s[i + k];
  }
  for (; i < n && s[i] < 0x80; ++i) out[i] = s[i];
  return i;
}

bool unitsAreAscii(const unsigned short* u, size_t n) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    unsigned acc = 0;
    for (size_t k = 0; k < 16; ++k) acc |= u[i + k];
    if (acc & 0xFF80) return false;
  }
  for (; i < n; ++i) {
    if (u[i] >= 0x80) return false;
  }
  return true;
}

char* nativeToModifiedUtf8(int kind, const char* text) {
  size_t n = std::strlen(text);
  auto s = reinterpret_cast<const unsigned char*>(text);
  if (isAscii(s, n)) return copyBytes(text, n);  // 1..7F are themselves in all three charsets
  size_t length = 0;
  return produceBytes(
      3 * n,  // at most 3 bytes per byte read (a lone U+FFFD)
      [](auto out) { return ModifiedUtf8Out<decltype(out)>{out}; },
      [&](auto& sink) { decodeNative(kind, s, n, sink); }, &length);
}

char* modifiedUtf8ToNative(int kind, const char* utf) {
  size_t n = std::strlen(utf);
  auto s = reinterpret_cast<const unsigned char*>(utf);
  if (isAscii(s, n)) return copyBytes(utf, n);
  size_t length = 0;
  // Never more units than bytes.
  return encodeNative(
      kind, n, [&](auto& sink) { readModifiedUtf8(s, n, sink); }, &length);
}

unsigned short* nativeToUnits(int kind, const char* text, size_t n, int& length) {
  auto* out = static_cast<uint16_t*>(std::malloc((n + 1) * sizeof(uint16_t)));
  if (out == nullptr) return nullptr;
  auto s = reinterpret_cast<const unsigned char*>(text);
  // An ASCII run is itself in all three charsets and ends no sequence.
  size_t ascii = widenAscii(s, n, out);
  UnitsOut sink{out + ascii};
  decodeNative(kind, s + ascii, n - ascii, sink);
  size_t units = static_cast<size_t>(sink.p - out);
  *sink.p = 0;
  length = static_cast<int>(units);
  return reinterpret_cast<unsigned short*>(out);
}

// The bytes String.getBytes("UTF-8") gives for `n` units.
size_t utf8Size(const unsigned short* u, size_t n) {
  size_t bytes = 0;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = u[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (!isSurrogate(c)) {
      bytes += 3;
    } else if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(u[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 1;  // "?"
    }
  }
  return bytes;
}

char* unitsToNative(int kind, const unsigned short* text, size_t n, int& length) {
  size_t used = 0;
  char* out;
  if (unitsAreAscii(text, n)) {  // 1..7F, and zero, are themselves in all three charsets
    out = static_cast<char*>(std::malloc(n + 1));
    if (out == nullptr) return nullptr;
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(text[i]);
    out[n] = '\0';
    used = n;
  } else if (kind == kUtf8) {
    // The size is known from the units alone: no need for the generic counting pass.
    size_t size = utf8Size(text, n);
    out = static_cast<char*>(std::malloc(size + 1));
    if (out == nullptr) return nullptr;
    Utf8Out<ByteBuffer> sink{ByteBuffer{reinterpret_cast<unsigned char*>(out)}};
    for (size_t i = 0; i < n; ++i) sink.put(text[i]);
    sink.finish();
    used = static_cast<size_t>(sink.out.p - reinterpret_cast<unsigned char*>(out));
    out[used] = '\0';
  } else {
    out = encodeNative(
        kind, n,
        [&](auto& sink) {
          for (size_t i = 0; i < n; ++i) sink.put(text[i]);
        },
        &used);
    if (out == nullptr) return nullptr;
  }
  length = static_cast<int>(used);
  return out;
}

// ---- the JVM path -----------------------------------------------------------------------------

// new String(bytes, name); null (nothing pending) when the JVM refuses.
jstring jvmDecode(JNIEnv* env, const ResolvedCharset* cs, const char* bytes, size_t n) {
  jbyteArray array = env->NewByteArray(static_cast<jsize>(n));
  if (array == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  env->SetByteArrayRegion(array, 0, static_cast<jsize>(n), reinterpret_cast<const jbyte*>(bytes));
  // A constructor that throws leaves behind a local handle the caller never sees; a frame of its
  // own releases it, so a thread that stays attached never accumulates them.
  if (env->PushLocalFrame(4) != 0) {
    env->ExceptionClear();
    env->DeleteLocalRef(array);
    return nullptr;
  }
  jobject s = env->NewObject(gIds.string, gIds.newMbcs, array, cs->javaName);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    env->PopLocalFrame(nullptr);
    env->DeleteLocalRef(array);
    return nullptr;
  }
  s = env->PopLocalFrame(s);
  env->DeleteLocalRef(array);
  return static_cast<jstring>(s);
}

// s.getBytes(name) as a malloc'd, terminated text; deletes `s`. Null when the JVM refuses.
char* jvmEncode(JNIEnv* env, const ResolvedCharset* cs, jstring s, int* length) {
  auto array = static_cast<jbyteArray>(env->CallObjectMethod(s, gIds.getBytes, cs->javaName));
  env->DeleteLocalRef(s);
  if (env->ExceptionCheck() || array == nullptr) {
    env->ExceptionClear();
    if (array != nullptr) env->DeleteLocalRef(array);
    return nullptr;
  }
  jsize n = env->GetArrayLength(array);
  char* out = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
  if (out != nullptr) {
    env->GetByteArrayRegion(array, 0, n, reinterpret_cast<jbyte*>(out));
    out[n] = '\0';
    if (length != nullptr) *length = n;
  }
  env->DeleteLocalRef(array);
  return out;
}

// Without a JVM in the process (unit tests, tools, the test kit) the encodings converted natively
// are still known under their usual names; every other name is unknown there. Not remembered:
// once a JVM exists, it resolves names as the agent does.
const ResolvedCharset* builtinCharset(const char* name) {
  static const ResolvedCharset kBuiltin[] = {
      {"UTF-8", kUtf8, nullptr, nullptr},        {"UTF8", kUtf8, nullptr, nullptr},
      {"ISO-8859-1", kLatin1, nullptr, nullptr}, {"ISO8859_1", kLatin1, nullptr, nullptr},
      {"latin1", kLatin1, nullptr, nullptr},     {"US-ASCII", kAscii, nullptr, nullptr},
      {"ASCII", kAscii, nullptr, nullptr},
  };
  static const ResolvedCharset kUnknownCharset{"", kUnknown, nullptr, nullptr};
  if (name == nullptr) return nullptr;
  for (const ResolvedCharset& c : kBuiltin) {
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  }
  return &kUnknownCharset;
}

JNIEnv* envOf(JNIEnv* env) { return env != nullptr ? env : vy::currentEnv(); }

size_t unitCount(const unsigned short* text, int length) {
  return length < 0 ? static_cast<size_t>(jcslen(text)) : static_cast<size_t>(length);
}

}  // namespace

// ---- KyConversion -----------------------------------------------------------------------------

// Converters are made per call, so a name already resolved is shared rather than copied.
KyConversion::KyConversion(const char* name)
    : encoding(nullptr), ownsEncoding(false), charset(nullptr) {
  if (name == nullptr || *name == '\0') return;
  if ((charset = findCharset(name)) != nullptr) {
    encoding = const_cast<char*>(charset->name.c_str());
  } else {
    encoding = copyBytes(name, std::strlen(name));
    ownsEncoding = true;
  }
}

KyConversion::~KyConversion() {
  if (ownsEncoding) std::free(encoding);
}

void KyConversion::initStatic(JNIEnv* env) {
  if (gIdsReady.load(std::memory_order_acquire)) return;
  env = envOf(env);
  if (env == nullptr) return;  // no JVM in the process yet; conversions will ask again
  std::lock_guard<std::mutex> guard(gIdsLock);
  if (gIdsReady.load(std::memory_order_relaxed)) return;
  JavaIds ids;
  ids.string = globalClass(env, "java/lang/String", "jclsString != NULL");
  ids.newMbcs =
      methodId(env, ids.string, "<init>", "([BLjava/lang/String;)V", "jmidStringNewMBCS != NULL");
  ids.getBytes =
      methodId(env, ids.string, "getBytes", "(Ljava/lang/String;)[B", "jmidStringGetBytes != NULL");
  ids.charset = globalClass(env, "java/nio/charset/Charset", "jclsCharset != NULL");
  ids.forName =
      methodId(env, ids.charset, "forName", "(Ljava/lang/String;)Ljava/nio/charset/Charset;",
               "jmidCharsetForName != NULL", true);
  ids.canonicalName =
      methodId(env, ids.charset, "name", "()Ljava/lang/String;", "jmidCharsetName != NULL");
  ids.illegalArgument =
      globalClass(env, "java/lang/IllegalArgumentException", "jclsIllegalArgument != NULL");
  gIds = ids;
  gIdsReady.store(true, std::memory_order_release);
}

const vy::ResolvedCharset* KyConversion::resolve(JNIEnv* env) {
  if (charset != nullptr) return charset;
  env = envOf(env);
  if (env == nullptr) return builtinCharset(encoding);
  initStatic(env);
  if (!gIdsReady.load(std::memory_order_acquire)) return nullptr;
  return charset = resolveCharset(env, encoding);
}

char* KyConversion::fromNativeToUTF8(JNIEnv* env, const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(text, std::strlen(text));
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr || cs->kind == kUnknown) return nullptr;
  if (cs->kind == kOther) return jvmNativeToUTF8(env, text);
  return nativeToModifiedUtf8(cs->kind, text);
}

char* KyConversion::fromUTF8ToNative(JNIEnv* env, const char* utf) {
  if (utf == nullptr || *utf == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(utf, std::strlen(utf));
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr || cs->kind == kUnknown) return nullptr;
  if (cs->kind == kOther) return jvmUTF8ToNative(env, utf);
  return modifiedUtf8ToNative(cs->kind, utf);
}

unsigned short* KyConversion::fromNativeToUTF16(JNIEnv* env, const char* text, int& length) {
  int wanted = length;
  length = 0;
  if (text == nullptr || encoding == nullptr) return nullptr;
  size_t n = wanted < 0 ? std::strlen(text) : static_cast<size_t>(wanted);
  if (n == 0) return nullptr;
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr || cs->kind == kUnknown) return nullptr;
  if (cs->kind == kOther) {
    length = wanted;
    return jvmNativeToUTF16(env, text, length);
  }
  return nativeToUnits(cs->kind, text, n, length);
}

char* KyConversion::fromUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length) {
  int wanted = length;
  length = 0;
  if (text == nullptr || encoding == nullptr) return nullptr;
  size_t n = unitCount(text, wanted);
  if (n == 0) return nullptr;
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr || cs->kind == kUnknown) return nullptr;
  if (cs->kind == kOther) {
    length = wanted;
    return jvmUTF16ToNative(env, text, length);
  }
  return unitsToNative(cs->kind, text, n, length);
}

char* KyConversion::jvmNativeToUTF8(JNIEnv* env, const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(text, std::strlen(text));
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr) return nullptr;
  env = envOf(env);
  jstring s = jvmDecode(env, cs, text, std::strlen(text));
  if (s == nullptr) return nullptr;
  jsize units = env->GetStringLength(s);
  jsize bytes = env->GetStringUTFLength(s);
  char* out = static_cast<char*>(std::malloc(static_cast<size_t>(bytes) + 1));
  if (out != nullptr) {
    env->GetStringUTFRegion(s, 0, units, out);
    out[bytes] = '\0';
  }
  env->DeleteLocalRef(s);
  return out;
}

char* KyConversion::jvmUTF8ToNative(JNIEnv* env, const char* utf) {
  if (utf == nullptr || *utf == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(utf, std::strlen(utf));
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr) return nullptr;
  env = envOf(env);
  jstring s = env->NewStringUTF(utf);
  if (s == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  return jvmEncode(env, cs, s, nullptr);
}

unsigned short* KyConversion::jvmNativeToUTF16(JNIEnv* env, const char* text, int& length) {
  int wanted = length;
  length = 0;
  if (text == nullptr || encoding == nullptr) return nullptr;
  size_t n = wanted < 0 ? std::strlen(text) : static_cast<size_t>(wanted);
  if (n == 0) return nullptr;
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr) return nullptr;
  env = envOf(env);
  jstring s = jvmDecode(env, cs, text, n);
  if (s == nullptr) return nullptr;
  jsize units = env->GetStringLength(s);
  unsigned short* out = nullptr;
  if (units > 0) {
    out = static_cast<unsigned short*>(std::malloc((static_cast<size_t>(units) + 1) * 2));
    if (out != nullptr) {
      env->GetStringRegion(s, 0, units, reinterpret_cast<jchar*>(out));
      out[units] = 0;
      length = units;
    }
  }
  env->DeleteLocalRef(s);
  return out;
}

char* KyConversion::jvmUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length) {
  int wanted = length;
  length = 0;
  if (text == nullptr || encoding == nullptr) return nullptr;
  size_t n = unitCount(text, wanted);
  if (n == 0) return nullptr;
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr) return nullptr;
  env = envOf(env);
  jstring s = env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(n));
  if (s == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  int bytes = 0;
  char* out = jvmEncode(env, cs, s, &bytes);
  if (out != nullptr && bytes == 0) {
    std::free(out);
    return nullptr;
  }
  length = bytes;
  return out;
}

char* KyConversion::fromEightBitCharToUTF8(const char* text) {
  if (text == nullptr) return nullptr;
  size_t n = std::strlen(text);
  auto* out = static_cast<unsigned char*>(std::malloc(2 * n + 1));
  if (out == nullptr) return nullptr;
  unsigned char* o = out;
  for (auto s = reinterpret_cast<const unsigned char*>(text); *s != 0; ++s) {
    if (*s < 0x80) {
      *o++ = *s;
    } else {
      *o++ = static_cast<unsigned char>(0xC0 | (*s >> 6));
      *o++ = static_cast<unsigned char>(0x80 | (*s & 0x3F));
    }
  }
  *o = 0;
  return reinterpret_cast<char*>(out);
}

char* KyConversion::fromUTF8ToEightBitChar(const char* text) {
  if (text == nullptr) return nullptr;
  auto* out = static_cast<unsigned char*>(std::malloc(std::strlen(text) + 1));
  if (out == nullptr) return nullptr;
  unsigned char* o = out;
  auto s = reinterpret_cast<const unsigned char*>(text);
  while (*s != 0) {
    if (*s < 0x80) {
      *o++ = *s++;
    } else if (s[1] == 0) {
      break;  // a sequence cut short by the terminator has no character
    } else {
      *o++ = static_cast<unsigned char>(((s[0] & 0x1F) << 6) | (s[1] & 0x3F));
      s += 2;
    }
  }
  *o = 0;
  return reinterpret_cast<char*>(out);
}

// ---- zero-terminated 16-bit strings -----------------------------------------------------------

int jcslen(const unsigned short* s) {
  if (s == nullptr) return 0;
  const unsigned short* p = s;
  while (*p != 0) ++p;
  return static_cast<int>(p - s);
}

unsigned short* jcscpy(unsigned short* dst, const unsigned short* src) {
  unsigned short* d = dst;
  while ((*d++ = *src++) != 0) {
  }
  return dst;
}

unsigned short* jcsncpy(unsigned short* dst, const unsigned short* src, unsigned n) {
  unsigned i = 0;
  for (; i < n && src[i] != 0; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = 0;
  return dst;
}

unsigned short* jcsstr(unsigned short* s, unsigned short* sub) {
  if (s == nullptr || sub == nullptr) return nullptr;
  if (*sub == 0) return s;
  for (; *s != 0; ++s) {
    const unsigned short* a = s;
    const unsigned short* b = sub;
    while (*b != 0 && *a == *b) {
      ++a;
      ++b;
    }
    if (*b == 0) return s;
  }
  return nullptr;
}

unsigned jcstoacs(char* dst, const unsigned short* src, unsigned n) {
  unsigned i = 0;
  for (; i < n; ++i) {
    dst[i] = static_cast<char>(src[i] & 0xFF);
    if (src[i] == 0) break;
  }
  return i;
}

unsigned acstojcs(unsigned short* dst, const char* src, unsigned n) {
  unsigned i = 0;
  for (; i < n; ++i) {
    dst[i] = static_cast<unsigned char>(src[i]);
    if (src[i] == '\0') break;
  }
  return i;
}

long jatol(const unsigned short* s) {
  if (s == nullptr) return 0;
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  if (*s < '0' || *s > '9') return 0;
  unsigned long value = 0;  // wraps rather than overflowing on absurdly long digit runs
  for (; *s >= '0' && *s <= '9'; ++s) value = value * 10 + (*s - '0');
  return static_cast<long>(negative ? 0UL - value : value);
}

void byteprint(char* bytes, int length) {
  (void)bytes;
  (void)length;
}
