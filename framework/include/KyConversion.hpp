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
// Threads: an object is used by one thread at a time; the static state is filled once, safely.
#ifndef VY_KY_CONVERSION_HPP
#define VY_KY_CONVERSION_HPP

#include <jni.h>

#include "VyExport.hpp"

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
  // length in: bytes to convert, negative for up to the terminator; out: UTF-16 units produced.
  unsigned short* fromNativeToUTF16(JNIEnv* env, const char* text, int& length);
  // length in: units to convert, negative for up to the zero unit; out: bytes produced.
  char* fromUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length);

  // Latin-1 <-> UTF-8 without the JVM. Null gives null.
  static char* fromEightBitCharToUTF8(const char* text);
  static char* fromUTF8ToEightBitChar(const char* text);

  const char* getEncoding() const { return encoding; }

  // The same conversions forced through the JVM whatever the charset; used to prove the native
  // paths equal to the JVM's.
  char* jvmNativeToUTF8(JNIEnv* env, const char* text);
  char* jvmUTF8ToNative(JNIEnv* env, const char* utf);
  unsigned short* jvmNativeToUTF16(JNIEnv* env, const char* text, int& length);
  char* jvmUTF16ToNative(JNIEnv* env, const unsigned short* text, int& length);

 private:
  char* encoding;
  int kind;  // resolved charset family, see KyConversion.cpp
};

// Zero-terminated 16-bit character strings.
VY_EXPORT int jcslen(const unsigned short* s);
VY_EXPORT unsigned short* jcscpy(unsigned short* dst, const unsigned short* src);
VY_EXPORT unsigned short* jcsncpy(unsigned short* dst, const unsigned short* src, unsigned n);
VY_EXPORT unsigned short* jcsstr(unsigned short* s, unsigned short* sub);
VY_EXPORT unsigned jcstoacs(char* dst, const unsigned short* src, unsigned n);
VY_EXPORT unsigned acstojcs(unsigned short* dst, const char* src, unsigned n);
VY_EXPORT long jatol(const unsigned short* s);
VY_EXPORT void byteprint(char* bytes, int length);

#endif  // VY_KY_CONVERSION_HPP
