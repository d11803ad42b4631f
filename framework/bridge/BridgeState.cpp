#include "BridgeState.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AgentPort.hpp"
#include "BusObjNativeImpl.hpp"
#include "JToCPPVeneer.hpp"
#include "KyConversion.hpp"

extern "C" void catchJavaErrors(JNIEnv* env) {
  if (env == nullptr || !env->ExceptionCheck()) return;
  std::fprintf(stderr, "Error: Java Exception occurred while in native method.\n");
  env->ExceptionDescribe();
  env->ExceptionClear();
}

namespace vy {
namespace {

// True when `s` is valid modified UTF-8 as NewStringUTF reads it.
bool isModifiedUtf8(const unsigned char* s) {
  while (*s) {
    unsigned char c = *s;
    if (c < 0x80) {
      ++s;
    } else if ((c & 0xE0) == 0xC0) {
      if ((s[1] & 0xC0) != 0x80) return false;
      s += 2;
    } else if ((c & 0xF0) == 0xE0) {
      if ((s[1] & 0xC0) != 0x80 || (s[2] & 0xC0) != 0x80) return false;
      s += 3;
    } else {
      return false;
    }
  }
  return true;
}

// Bytes that are not modified UTF-8 are taken as Latin-1, so the agent still sees the text.
jstring latin1String(JNIEnv* env, const char* text) {
  size_t n = std::strlen(text);
  jchar stackBuf[256];
  jchar* units = n <= 256 ? stackBuf : static_cast<jchar*>(std::malloc(n * sizeof(jchar)));
  if (units == nullptr) return nullptr;
  for (size_t i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(text[i]);
  jstring s = env->NewString(units, static_cast<jsize>(n));
  if (units != stackBuf) std::free(units);
  return s;
}

}  // namespace

jobject agentObject() {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  jobject obj = v ? static_cast<jobject>(v->getGblBusObjNativeInterface()) : nullptr;
  VY_ENV_CHECK(agentIds().busObjNativeInterface != nullptr, "jclsBusObjNativeInterface != NULL",
               "BusObjNativeImpl");
  if (obj == nullptr) environmentFailure("gblBusObjNativeInterface != NULL", "BusObjNativeImpl");
  return obj;
}

jobject runningAgent() {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  return v != nullptr ? static_cast<jobject>(v->getGblBusObjNativeInterface()) : nullptr;
}

JNIEnv* callbackEnv() {
  JNIEnv* env = currentEnv();
  if (javaVm() == nullptr) environmentFailure("vmBuf[0] != NULL", "BusObjNativeImpl");
  VY_ENV_ASSERT(env != NULL, "BusObjNativeImpl");
  return env;
}

bool clearAgentException(JNIEnv* env) {
  if (!env->ExceptionCheck()) return false;
  catchJavaErrors(env);
  return true;
}

void environmentFailure(const char* what, const char* file) {
  std::fprintf(stderr, "Assertion failed: %s, file %s\n", what, file);
  std::fflush(stderr);
  std::abort();
}

namespace {

// The bytes as the JVM can take them: modified UTF-8 as it is, anything else as Latin-1.
jstring rawJavaString(JNIEnv* env, const char* text) {
  if (isModifiedUtf8(reinterpret_cast<const unsigned char*>(text))) return env->NewStringUTF(text);
  return latin1String(env, text);
}

bool isAsciiText(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (*p & 0x80) return false;
  return true;
}

}  // namespace

jstring toJavaName(JNIEnv* env, const char* text) {
  if (text == nullptr) return nullptr;
  // ASCII is the same in every encoding the agent may name and in modified UTF-8; anything else
  // is converted like any other text (raw UTF-8 beyond the Basic Multilingual Plane is not what
  // NewStringUTF reads).
  if (isAsciiText(text)) return env->NewStringUTF(text);
  return toJavaText(env, text);
}

jstring toJavaText(JNIEnv* env, const char* text) {
  if (text == nullptr) return nullptr;
  if (*text == '\0') return env->NewStringUTF("");
  KyConversion conv(agentPort().encoding());
  char* utf = conv.fromNativeToUTF8(env, text);
  if (utf == nullptr) return rawJavaString(env, text);
  jstring s = rawJavaString(env, utf);
  std::free(utf);
  return s;
}

char* fromJavaText(JNIEnv* env, jstring s, bool* failed) {
  if (failed) *failed = false;
  if (s == nullptr) return nullptr;
  const char* utf = env->GetStringUTFChars(s, nullptr);
  if (utf == nullptr) {
    env->ExceptionClear();
    if (failed) *failed = true;
    return nullptr;
  }
  char* out;
  if (*utf == '\0') {
    out = static_cast<char*>(std::calloc(1, 1));
  } else {
    KyConversion conv(agentPort().encoding());
    out = conv.fromUTF8ToNative(env, utf);
    if (out == nullptr && failed) *failed = true;
  }
  env->ReleaseStringUTFChars(s, utf);
  return out;
}

std::string javaUtf(JNIEnv* env, jstring s) {
  if (s == nullptr) return std::string();
  const char* utf = env->GetStringUTFChars(s, nullptr);
  if (utf == nullptr) {
    env->ExceptionClear();
    return std::string();
  }
  std::string out(utf);
  env->ReleaseStringUTFChars(s, utf);
  return out;
}

unsigned short* javaUnits(JNIEnv* env, jstring s, int* length) {
  jsize n = s ? env->GetStringLength(s) : 0;
  unsigned short* buf = static_cast<unsigned short*>(
      std::malloc((static_cast<size_t>(n) + 1) * sizeof(unsigned short)));
  if (buf == nullptr) return nullptr;
  if (n > 0) env->GetStringRegion(s, 0, n, reinterpret_cast<jchar*>(buf));
  buf[n] = 0;
  if (length) *length = n;
  return buf;
}

}  // namespace vy
