// Text conversion between the agent's strings (modified UTF-8 or UTF-16) and the connector's
// native encoding, whose name the agent supplies.
//
// For UTF-8, ISO-8859-1 and US-ASCII (under every alias the JVM accepts) the conversion is done
// natively with results identical to the JVM's own, replacement characters included; every other
// charset is transcoded by the JVM (String(byte[], String) and String.getBytes(String)).
//
// Ownership: every result is a new array allocated with malloc that the caller frees with free();
// 8-bit results are NUL-terminated, 16-bit results end with a zero unit. Failure is a null result
// (null or empty input, an unknown charset, no encoding for the UTF-16 forms); no Java exception
// is ever left pending. Any env argument may be null: the calling thread's own is used.
// Native texts end at their first NUL unless an explicit length is given (the UTF-16 forms).
// Threads: an object is used by one thread at a time; the static state (the JVM identifiers and
// the answer for each distinct encoding name, asked of the JVM once) is filled once, safely.
#ifndef VY_KY_CONVERSION_HPP
#define VY_KY_CONVERSION_HPP

// The JVM's environment type, declared as <jni.h> declares it, so connector code compiles without
// a JDK; code that includes <jni.h> as well sees the same type.
struct JNIEnv_;
typedef JNIEnv_ JNIEnv;

#include "VyExport.hpp"

class KyConversion;

namespace vy {
struct ResolvedCharset;  // what the JVM made of one encoding name; shared, never freed
// For the kit's own use: the codec (a vy::codec::Charset value) of a converter whose encoding
// the kit converts itself; false when the JVM converts it or it cannot be resolved.
bool nativeCodecOf(KyConversion& conv, int* charset);
}  // namespace vy

class VY_EXPORT KyConversion {
 public:
  // `encoding` is copied; null or empty means no conversion (8-bit forms copy, 16-bit forms fail).
  explicit KyConversion(const char* encoding);
  ~KyConversion();
  KyConversion(const KyConversion&) = delete;
  KyConversion& operator=(const KyConversion&) = delete;

  // Finds java/lang/String and its two transcoding methods. Idempotent and thread-safe.
  static void initStatic(JNIEnv* env);

  char* fromNativeToUTF8(JNIEnv* env, const char* text);
  char* fromUTF8ToNative(JNIEnv* env, const char* utf);
  // length in: bytes to convert (NULs included), negative for up to the terminator; out: UTF-16
  // units produced, 0 with a null result.
  unsigned short* fromNativeToUTF16(JNIEnv* env, const char* text, int& length);
  // length in: units to convert (zero units included), negative for up to the zero unit; out:
  // bytes produced before the added terminator, 0 with a null result.
  char* fromUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length);

  // Latin-1 <-> UTF-8 without the JVM. Null gives null. The UTF-8 side reads one- and two-byte
  // sequences only; a sequence cut short by the terminator is dropped.
  static char* fromEightBitCharToUTF8(const char* text);
  static char* fromUTF8ToEightBitChar(const char* text);

  const char* getEncoding() const { return encoding; }

  // Whether the encoding maps the characters 1 to 127 to the same single bytes both ways, so
  // ASCII text may skip the conversion. Decided once per encoding (UTF-8, ISO-8859-1 and
  // US-ASCII by their nature, any other by a probe through the JVM); false while the encoding
  // cannot be resolved, which is not remembered.
  bool asciiCompatible();

  // The same conversions forced through the JVM whatever the charset; used to prove the native
  // paths equal to the JVM's.
  char* jvmNativeToUTF8(JNIEnv* env, const char* text);
  char* jvmUTF8ToNative(JNIEnv* env, const char* utf);
  unsigned short* jvmNativeToUTF16(JNIEnv* env, const char* text, int& length);
  char* jvmUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length);

 private:
  friend bool vy::nativeCodecOf(KyConversion& conv, int* charset);

  // The shared answer for `encoding`, asked of the JVM the first time any object meets the name;
  // null when there is no JVM to ask.
  const vy::ResolvedCharset* resolve(JNIEnv* env);

  char* encoding;  // the caller's name: a copy, or the shared answer's own text
  bool ownsEncoding;
  const vy::ResolvedCharset* charset;  // null until the name is resolved
};

// Zero-terminated 16-bit character strings. acstojcs widens bytes without sign (0xE9 -> 0x00E9);
// jcstoacs keeps the low 8 bits of each unit. Both stop after copying a terminator and return
// the number of characters before it.
VY_EXPORT int jcslen(const unsigned short* s);
VY_EXPORT unsigned short* jcscpy(unsigned short* dst, const unsigned short* src);
VY_EXPORT unsigned short* jcsncpy(unsigned short* dst, const unsigned short* src, unsigned n);
VY_EXPORT unsigned short* jcsstr(unsigned short* s, unsigned short* sub);
VY_EXPORT unsigned jcstoacs(char* dst, const unsigned short* src, unsigned n);
VY_EXPORT unsigned acstojcs(unsigned short* dst, const char* src, unsigned n);
VY_EXPORT long jatol(const unsigned short* s);
VY_EXPORT void byteprint(char* bytes, int length);

#endif  // VY_KY_CONVERSION_HPP
