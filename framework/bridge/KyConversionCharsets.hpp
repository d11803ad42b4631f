// What the JVM makes of an encoding name, asked once per distinct name and shared by every
// KyConversion: whether the name is known, and whether the kit converts it natively (UTF-8,
// ISO-8859-1, US-ASCII under any alias) or hands it to the JVM. The JVM identifiers the JVM path
// of the conversions uses are the portal's (JniPortal.hpp).
#ifndef VY_KY_CONVERSION_CHARSETS_HPP
#define VY_KY_CONVERSION_CHARSETS_HPP

#include <jni.h>

#include <string>

#include "JniPortal.hpp"

namespace vy {

enum CharsetKind : int {
  kCharsetUnknown,  // the JVM refuses the name: every conversion fails
  kCharsetUtf8,
  kCharsetLatin1,
  kCharsetAscii,
  kCharsetOther,  // transcoded by the JVM
};

// The JVM's answer for one encoding name. Entries form a list that only grows, so readers walk
// it without a lock; they live as long as the process.
struct ResolvedCharset {
  std::string name;  // the name exactly as callers give it
  int kind;          // a CharsetKind
  jstring javaName;  // global reference: the name as the JVM path passes it
  const ResolvedCharset* next;
};

// The shared answer for a name already resolved, or null.
const ResolvedCharset* findCharset(const char* name);
// The shared answer, asking the JVM the first time; null when the JVM could not answer at all
// (out of memory), which is not remembered.
const ResolvedCharset* resolveCharset(JNIEnv* env, const char* name);
// Without a JVM in the process (unit tests, tools, the test kit) the encodings converted natively
// are still known under their usual names; every other name is unknown there. Not remembered:
// once a JVM exists, it resolves names as the agent does.
const ResolvedCharset* builtinCharset(const char* name);

}  // namespace vy

#endif  // VY_KY_CONVERSION_CHARSETS_HPP
