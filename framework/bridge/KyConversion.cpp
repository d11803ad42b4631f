#include "KyConversion.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "Codec.hpp"
#include "JniEnv.hpp"
#include "KyConversionCharsets.hpp"

namespace {

using vy::ResolvedCharset;
namespace codec = vy::codec;

// ---- text buffers -----------------------------------------------------------------------------

char* copyBytes(const char* text, size_t n) {
  char* out = static_cast<char*>(std::malloc(n + 1));
  if (out == nullptr) return nullptr;
  std::memcpy(out, text, n);
  out[n] = '\0';
  return out;
}

// Results may be this much larger than they need to be; a larger unused part is handed back.
constexpr size_t kTolerated = 512;

// Native results are written into a buffer sized for the worst case; a large unused tail is
// handed back.
char* finishBytes(char* out, size_t used, size_t capacity) {
  out[used] = '\0';
  if (capacity - used > kTolerated) {
    if (char* smaller = static_cast<char*>(std::realloc(out, used + 1))) return smaller;
  }
  return out;
}

// How a resolved charset is converted.
enum class Route { kFail, kNative, kJvm };

Route routeOf(const ResolvedCharset* cs, codec::Charset* native) {
  if (cs == nullptr) return Route::kFail;
  switch (cs->kind) {
    case vy::kCharsetUtf8:
      *native = codec::Charset::kUtf8;
      return Route::kNative;
    case vy::kCharsetLatin1:
      *native = codec::Charset::kLatin1;
      return Route::kNative;
    case vy::kCharsetAscii:
      *native = codec::Charset::kAscii;
      return Route::kNative;
    case vy::kCharsetOther:
      return Route::kJvm;
    default:
      return Route::kFail;
  }
}

const uint8_t* bytesOf(const char* text) { return reinterpret_cast<const uint8_t*>(text); }

// A new buffer of `capacity` bytes and the terminator after them.
uint8_t* newBytes(size_t capacity) { return static_cast<uint8_t*>(std::malloc(capacity + 1)); }

// Runs `convert` on the terminated text into a new terminated buffer. One pass finds the text's
// length and how many of its bytes are above 0x7F: a text with none is copied; any other is
// converted in one pass into the room `capacity` gives for that count (never more than its worst
// case), and a large unused part is handed back.
template <typename Capacity, typename Convert>
char* convertBytes(const char* text, Capacity capacity, Convert convert) {
  size_t high = 0;
  size_t n = codec::measure(text, &high);
  // A plain copy is the cheapest conversion there is, at every vector level.
  if (high == 0) return copyBytes(text, n);
  size_t room = capacity(n, high);
  uint8_t* out = newBytes(room);
  if (out == nullptr) return nullptr;
  size_t used = convert(bytesOf(text), n, out);
  return finishBytes(reinterpret_cast<char*>(out), used, room);
}

char* nativeToModifiedUtf8(codec::Charset cs, const char* text) {
  return convertBytes(
      text, [](size_t n, size_t high) { return codec::modifiedUtf8CapacityOf(n, high); },
      [cs](const uint8_t* s, size_t n, uint8_t* o) {
        return codec::nativeToModifiedUtf8(cs, s, n, o).written;
      });
}

char* modifiedUtf8ToNative(codec::Charset cs, const char* utf) {
  return convertBytes(
      utf, [cs](size_t n, size_t high) { return codec::nativeCapacityFromModifiedOf(cs, n, high); },
      [cs](const uint8_t* s, size_t n, uint8_t* o) {
        return codec::modifiedUtf8ToNative(cs, s, n, o).written;
      });
}

unsigned short* nativeToUnits(codec::Charset cs, const char* text, size_t n, int& length) {
  size_t capacity = codec::utf16Capacity(n);
  auto* out = static_cast<uint16_t*>(std::malloc((capacity + 1) * sizeof(uint16_t)));
  if (out == nullptr) return nullptr;
  size_t units = codec::nativeToUtf16(cs, bytesOf(text), n, out).written;
  out[units] = 0;
  length = static_cast<int>(units);
  return reinterpret_cast<unsigned short*>(out);
}

// Up to this many units a text is converted in one pass into its worst case (three bytes a unit
// in UTF-8), and a large unused tail handed back; a longer one is measured first.
constexpr size_t kBoundedUpTo = size_t{1} << 20;

char* unitsToNative(codec::Charset cs, const unsigned short* text, size_t n, int& length) {
  auto* u = reinterpret_cast<const uint16_t*>(text);
  size_t capacity = n <= kBoundedUpTo ? codec::nativeBoundFromUtf16(cs, n)
                                      : codec::nativeCapacityFromUtf16(cs, u, n);
  uint8_t* out = newBytes(capacity);
  if (out == nullptr) return nullptr;
  size_t used = codec::utf16ToNative(cs, u, n, out).written;
  length = static_cast<int>(used);
  // Up to 2 KB too many cost less than the realloc that would hand them back, which takes as
  // long as converting a few hundred units.
  if (capacity - used <= 2048) {
    out[used] = 0;
    return reinterpret_cast<char*>(out);
  }
  return finishBytes(reinterpret_cast<char*>(out), used, capacity);
}

// ---- the JVM path -----------------------------------------------------------------------------

// new String(bytes, name); null (nothing pending) when the JVM refuses.
jstring jvmDecode(JNIEnv* env, const ResolvedCharset* cs, const char* bytes, size_t n) {
  // A converter may hold a charset resolved before the portal was last released.
  if (!vy::initConversionIds(env)) return nullptr;
  vy::LocalRef arrayRef(env, env->NewByteArray(static_cast<jsize>(n)));
  auto array = arrayRef.as<jbyteArray>();
  if (array == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  env->SetByteArrayRegion(array, 0, static_cast<jsize>(n), reinterpret_cast<const jbyte*>(bytes));
  // A constructor that throws leaves behind a local handle the caller never sees; a frame of its
  // own releases it, so a thread that stays attached never accumulates them.
  if (env->PushLocalFrame(4) != 0) {
    env->ExceptionClear();
    return nullptr;
  }
  const vy::ConversionIds& ids = vy::conversionIds();
  jobject s = env->NewObject(ids.string, ids.newMbcs, array, cs->javaName);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    env->PopLocalFrame(nullptr);
    return nullptr;
  }
  return static_cast<jstring>(env->PopLocalFrame(s));
}

// s.getBytes(name) as a malloc'd, terminated text; deletes `s`. Null when the JVM refuses.
char* jvmEncode(JNIEnv* env, const ResolvedCharset* cs, jstring s, int* length) {
  vy::LocalRef text(env, s);
  if (!vy::initConversionIds(env)) return nullptr;
  vy::LocalRef arrayRef(env, env->CallObjectMethod(s, vy::conversionIds().getBytes, cs->javaName));
  auto array = arrayRef.as<jbyteArray>();
  if (env->ExceptionCheck() || array == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  jsize n = env->GetArrayLength(array);
  char* out = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
  if (out != nullptr) {
    env->GetByteArrayRegion(array, 0, n, reinterpret_cast<jbyte*>(out));
    out[n] = '\0';
    if (length != nullptr) *length = n;
  }
  return out;
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
  if ((charset = vy::findCharset(name)) != nullptr) {
    encoding = const_cast<char*>(charset->name.c_str());
  } else {
    encoding = copyBytes(name, std::strlen(name));
    ownsEncoding = true;
  }
}

KyConversion::~KyConversion() {
  if (ownsEncoding) std::free(encoding);
}

void KyConversion::initStatic(JNIEnv* env) { vy::initConversionIds(envOf(env)); }

const vy::ResolvedCharset* KyConversion::resolve(JNIEnv* env) {
  if (charset != nullptr) return charset;
  env = envOf(env);
  if (env == nullptr) return vy::builtinCharset(encoding);
  if (!vy::initConversionIds(env)) return nullptr;
  return charset = vy::resolveCharset(env, encoding);
}

char* KyConversion::fromNativeToUTF8(JNIEnv* env, const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(text, std::strlen(text));
  codec::Charset cs;
  // A converter made for a name resolved before holds the answer already: no call then.
  switch (routeOf(charset != nullptr ? charset : resolve(env), &cs)) {
    case Route::kNative:
      return nativeToModifiedUtf8(cs, text);
    case Route::kJvm:
      return jvmNativeToUTF8(env, text);
    default:
      return nullptr;
  }
}

char* KyConversion::fromUTF8ToNative(JNIEnv* env, const char* utf) {
  if (utf == nullptr || *utf == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(utf, std::strlen(utf));
  codec::Charset cs;
  switch (routeOf(charset != nullptr ? charset : resolve(env), &cs)) {
    case Route::kNative:
      return modifiedUtf8ToNative(cs, utf);
    case Route::kJvm:
      return jvmUTF8ToNative(env, utf);
    default:
      return nullptr;
  }
}

unsigned short* KyConversion::fromNativeToUTF16(JNIEnv* env, const char* text, int& length) {
  int wanted = length;
  length = 0;
  if (text == nullptr || encoding == nullptr) return nullptr;
  size_t n = wanted < 0 ? std::strlen(text) : static_cast<size_t>(wanted);
  if (n == 0) return nullptr;
  codec::Charset cs;
  // A converter made for a name resolved before holds the answer already: no call then.
  switch (routeOf(charset != nullptr ? charset : resolve(env), &cs)) {
    case Route::kNative:
      return nativeToUnits(cs, text, n, length);
    case Route::kJvm:
      length = wanted;
      return jvmNativeToUTF16(env, text, length);
    default:
      return nullptr;
  }
}

char* KyConversion::fromUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length) {
  int wanted = length;
  length = 0;
  if (text == nullptr || encoding == nullptr) return nullptr;
  size_t n = unitCount(text, wanted);
  if (n == 0) return nullptr;
  codec::Charset cs;
  // A converter made for a name resolved before holds the answer already: no call then.
  switch (routeOf(charset != nullptr ? charset : resolve(env), &cs)) {
    case Route::kNative:
      return unitsToNative(cs, text, n, length);
    case Route::kJvm:
      length = wanted;
      return jvmUTF16ToNative(env, text, length);
    default:
      return nullptr;
  }
}

char* KyConversion::jvmNativeToUTF8(JNIEnv* env, const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  if (encoding == nullptr) return copyBytes(text, std::strlen(text));
  const ResolvedCharset* cs = resolve(env);
  if (cs == nullptr) return nullptr;
  env = envOf(env);
  vy::LocalRef text16(env, jvmDecode(env, cs, text, std::strlen(text)));
  auto s = text16.as<jstring>();
  if (s == nullptr) return nullptr;
  jsize units = env->GetStringLength(s);
  jsize bytes = env->GetStringUTFLength(s);
  char* out = static_cast<char*>(std::malloc(static_cast<size_t>(bytes) + 1));
  if (out != nullptr) {
    env->GetStringUTFRegion(s, 0, units, out);
    out[bytes] = '\0';
  }
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
  vy::LocalRef text16(env, jvmDecode(env, cs, text, n));
  auto s = text16.as<jstring>();
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
bool vy::nativeCodecOf(KyConversion& conv, int* charset) {
  if (conv.encoding == nullptr) return false;
  codec::Charset cs;
  if (routeOf(conv.resolve(nullptr), &cs) != Route::kNative) return false;
  *charset = static_cast<int>(cs);
  return true;
}

bool KyConversion::asciiCompatible() {
  if (encoding == nullptr) return false;
  const ResolvedCharset* cs = resolve(nullptr);
  if (cs == nullptr) return false;
  if (cs->kind == vy::kCharsetUtf8 || cs->kind == vy::kCharsetLatin1 ||
      cs->kind == vy::kCharsetAscii) {
    return true;
  }
  if (cs->kind != vy::kCharsetOther) return false;
  // Any other encoding is probed once, by converting 1..127 through the JVM and back.
  static std::mutex lock;
  static std::vector<std::pair<const ResolvedCharset*, bool>> decided;
  std::lock_guard<std::mutex> guard(lock);
  for (const auto& d : decided)
    if (d.first == cs) return d.second;
  char probe[128];
  for (int i = 1; i < 128; ++i) probe[i - 1] = static_cast<char>(i);
  probe[127] = '\0';
  int units = 127;
  unsigned short* wide = jvmNativeToUTF16(nullptr, probe, units);
  if (wide == nullptr) return false;  // the JVM could not answer: asked again next time
  bool ok = units == 127;
  for (int i = 0; ok && i < 127; ++i) ok = wide[i] == static_cast<unsigned short>(i + 1);
  if (ok) {
    int bytes = 127;
    char* back = jvmUTF16ToNative(nullptr, wide, bytes);
    ok = back != nullptr && bytes == 127 && std::memcmp(back, probe, 127) == 0;
    std::free(back);
  }
  std::free(wide);
  decided.emplace_back(cs, ok);
  return ok;
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
