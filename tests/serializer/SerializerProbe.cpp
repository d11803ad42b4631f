// A test-only native library that lets a Java program drive BusObjAndSpecSerializer: it packs an
// object given as its wire text, unpacks a packed text back into a wire text, and shows what the
// process's spec directory holds. Texts cross as Java strings (UTF-16) and are converted with the
// agent's encoding, as the framework converts everything it exchanges with the agent.
#include <jni.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BusObjAndSpecSerializer.hpp"
#include "BusObjNativeImpl.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "KyConversion.hpp"
#include "StringMessage.hpp"

namespace {

// The UTF-16 units of a Java string, zero-terminated.
std::vector<unsigned short> unitsOf(JNIEnv* env, jstring s) {
  jsize n = env->GetStringLength(s);
  std::vector<unsigned short> units(static_cast<size_t>(n) + 1, 0);
  env->GetStringRegion(s, 0, n, reinterpret_cast<jchar*>(units.data()));
  return units;
}

jstring javaOf(JNIEnv* env, const unsigned short* units, int length) {
  return env->NewString(reinterpret_cast<const jchar*>(units), length);
}

jstring javaOfMessage(JNIEnv* env, StringMessage* message) {
  std::unique_ptr<StringMessage> owned(message);
  if (owned == nullptr) return nullptr;
  return javaOf(env, owned->toUTF16String(), owned->getCurrentUTF16Size());
}

// A native text as a Java string; null when it cannot be converted.
jstring javaOfNative(JNIEnv* env, const char* text) {
  if (text == nullptr) return nullptr;
  KyConversion conversion(CallJavaForGetEncoding());
  int length = -1;
  unsigned short* units = conversion.fromNativeToUTF16(env, text, length);
  if (units == nullptr) return nullptr;
  jstring result = javaOf(env, units, length);
  std::free(units);
  return result;
}

// A Java string as native text (malloc'd); null when it cannot be converted.
char* nativeOf(JNIEnv* env, jstring s) {
  std::vector<unsigned short> units = unitsOf(env, s);
  KyConversion conversion(CallJavaForGetEncoding());
  int length = static_cast<int>(units.size()) - 1;
  return conversion.fromUTF16ToNative(env, units.data(), length);
}

std::string nameOf(JNIEnv* env, jstring s) {
  const char* utf = env->GetStringUTFChars(s, nullptr);
  std::string name = utf != nullptr ? utf : "";
  if (utf != nullptr) env->ReleaseStringUTFChars(s, utf);
  return name;
}

}  // namespace

// Reads the object from its wire text and packs it; null when the object cannot be read or
// packed.
extern "C" JNIEXPORT jstring JNICALL Java_serializer_SerializerTest_pack(JNIEnv* env, jclass,
                                                                         jstring objectWire) {
  std::vector<unsigned short> units = unitsOf(env, objectWire);
  StringMessage message(units.data());
  BusinessObject bo(message);
  if (bo.getTheSpec() == nullptr) return nullptr;
  char* packed = BusObjAndSpecSerializer::serialize(&bo);
  jstring result = javaOfNative(env, packed);
  std::free(packed);
  return result;
}

// Unpacks a packed text; the object's wire text, or null when nothing (or an object without
// spec) came back.
extern "C" JNIEXPORT jstring JNICALL Java_serializer_SerializerTest_unpack(JNIEnv* env, jclass,
                                                                           jstring packed) {
  char* text = nativeOf(env, packed);
  std::unique_ptr<BusinessObject> bo(BusObjAndSpecSerializer::deSerialize(text));
  std::free(text);
  if (bo == nullptr || bo->getTheSpec() == nullptr) return nullptr;
  return javaOfMessage(env, bo->toStringMessage());
}

// The spec text of the directory's spec of that name, or null.
extern "C" JNIEXPORT jstring JNICALL Java_serializer_SerializerTest_specText(JNIEnv* env, jclass,
                                                                             jstring name) {
  BusObjSpec* spec = BusObjSpecDirectory::theBusObjSpecDirectory.find(nameOf(env, name).c_str());
  return spec != nullptr ? javaOfMessage(env, spec->toStringMessage()) : nullptr;
}

// The identity of the directory's spec of that name (0 when there is none), to tell a kept spec
// from a replaced one.
extern "C" JNIEXPORT jlong JNICALL Java_serializer_SerializerTest_specIdentity(JNIEnv* env, jclass,
                                                                               jstring name) {
  BusObjSpec* spec = BusObjSpecDirectory::theBusObjSpecDirectory.find(nameOf(env, name).c_str());
  return static_cast<jlong>(reinterpret_cast<std::uintptr_t>(spec));
}
