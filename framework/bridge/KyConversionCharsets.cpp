#include "KyConversionCharsets.hpp"

#include <strings.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "BridgeState.hpp"
#include "JniEnv.hpp"

namespace vy {
namespace {

std::atomic<const ResolvedCharset*> gCharsets{nullptr};
std::mutex gCharsetsLock;
// The entry found last: a process converts with one or two charsets, each converter made per
// call, so a lookup is mostly one compare of the name with it.
std::atomic<const ResolvedCharset*> gLastFound{nullptr};

// Names are short; a plain loop beats the library's vectorised compare here.
bool sameName(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

int kindOfCanonicalName(JNIEnv* env, jstring canonical) {
  jsize units = env->GetStringLength(canonical);
  if (units > 16) return kCharsetOther;
  char buf[64] = {};  // 16 units take at most 48 bytes of modified UTF-8
  env->GetStringUTFRegion(canonical, 0, units, buf);
  if (std::strcmp(buf, "UTF-8") == 0) return kCharsetUtf8;
  if (std::strcmp(buf, "ISO-8859-1") == 0) return kCharsetLatin1;
  if (std::strcmp(buf, "US-ASCII") == 0) return kCharsetAscii;
  return kCharsetOther;
}

// Asks Charset.forName(name).name(). False when the JVM could not answer at all (out of memory).
bool askJvm(JNIEnv* env, const char* name, int* kind, jstring* javaName) {
  LocalRef local(env, env->NewStringUTF(name));
  if (local.get() == nullptr) {
    env->ExceptionClear();
    return false;
  }
  LocalRef cs(env, env->CallStaticObjectMethod(conversionIds().charset, conversionIds().forName,
                                               local.get()));
  if (env->ExceptionCheck()) {
    LocalRef error(env, env->ExceptionOccurred());
    env->ExceptionClear();
    if (!env->IsInstanceOf(error.get(), conversionIds().illegalArgument)) return false;
    *kind = kCharsetUnknown;
  } else {
    LocalRef canonical(env, env->CallObjectMethod(cs.get(), conversionIds().canonicalName));
    if (env->ExceptionCheck() || canonical.get() == nullptr) {
      env->ExceptionClear();
      return false;
    }
    *kind = kindOfCanonicalName(env, canonical.as<jstring>());
  }
  *javaName = static_cast<jstring>(env->NewGlobalRef(local.get()));
  return *javaName != nullptr;
}

}  // namespace

const ResolvedCharset* findCharset(const char* name) {
  const ResolvedCharset* last = gLastFound.load(std::memory_order_acquire);
  if (last != nullptr && sameName(last->name.c_str(), name)) return last;
  for (const ResolvedCharset* c = gCharsets.load(std::memory_order_acquire); c != nullptr;
       c = c->next) {
    if (c != last && sameName(c->name.c_str(), name)) {
      gLastFound.store(c, std::memory_order_release);
      return c;
    }
  }
  return nullptr;
}

const ResolvedCharset* resolveCharset(JNIEnv* env, const char* name) {
  if (const ResolvedCharset* known = findCharset(name)) return known;
  std::lock_guard<std::mutex> guard(gCharsetsLock);
  if (const ResolvedCharset* known = findCharset(name)) return known;  // filled meanwhile
  int kind = kCharsetUnknown;
  jstring javaName = nullptr;
  if (!askJvm(env, name, &kind, &javaName)) return nullptr;
  auto* entry =
      new ResolvedCharset{name, kind, javaName, gCharsets.load(std::memory_order_relaxed)};
  gCharsets.store(entry, std::memory_order_release);
  return entry;
}

const ResolvedCharset* builtinCharset(const char* name) {
  static const ResolvedCharset kBuiltin[] = {
      {"UTF-8", kCharsetUtf8, nullptr, nullptr},
      {"UTF8", kCharsetUtf8, nullptr, nullptr},
      {"ISO-8859-1", kCharsetLatin1, nullptr, nullptr},
      {"ISO8859_1", kCharsetLatin1, nullptr, nullptr},
      {"latin1", kCharsetLatin1, nullptr, nullptr},
      {"US-ASCII", kCharsetAscii, nullptr, nullptr},
      {"ASCII", kCharsetAscii, nullptr, nullptr},
  };
  static const ResolvedCharset kUnknownCharset{"", kCharsetUnknown, nullptr, nullptr};
  if (name == nullptr) return nullptr;
  for (const ResolvedCharset& c : kBuiltin) {
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  }
  return &kUnknownCharset;
}

}  // namespace vy
