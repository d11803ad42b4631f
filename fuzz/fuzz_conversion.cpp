// The charset conversions against their contracts. The native paths for UTF-8, ISO-8859-1 and
// US-ASCII (under several of their names) must give exactly what the JVM gives, replacement
// characters included; an unknown charset gives null everywhere and leaves no exception; the
// Latin-1/UTF-8 helpers round-trip; the 16-bit helpers agree with plain reference code.
//
// The codecs underneath are also run with the scalar code and each vector level the machine has,
// which must agree to the byte (and on where the input was first malformed).
//
// Input: the first byte picks the charset name, the rest is both a native byte text (NULs
// included, as the explicit-length forms take it) and, read as UTF-16LE, a Java text (lone
// surrogates and U+0000 included).
#include <jni.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Codec.hpp"
#include "FuzzCheck.hpp"
#include "FuzzJvm.hpp"
#include "FuzzSpecs.hpp"
#include "KyConversion.hpp"

namespace {

const char* const kCharsets[] = {"UTF-8",    "utf8",  "ISO-8859-1",   "latin1",
                                 "US-ASCII", "ascii", "windows-1252", "no-such-charset-x"};

bool sameBytes(const char* a, int alen, const char* b, int blen) {
  if (a == nullptr || b == nullptr) return a == b && alen == blen;
  return alen == blen && std::memcmp(a, b, static_cast<size_t>(alen) + 1) == 0;
}

bool sameUnits(const unsigned short* a, int alen, const unsigned short* b, int blen) {
  if (a == nullptr || b == nullptr) return a == b && alen == blen;
  return alen == blen &&
         std::memcmp(a, b, sizeof(unsigned short) * (static_cast<size_t>(alen) + 1)) == 0;
}

bool sameText(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

// The JVM's modified UTF-8 form of a UTF-16 text: valid input for the UTF-8 forms.
std::string modifiedUtf8(const std::u16string& units) {
  JNIEnv* e = vyfuzz::FuzzJvm::env();
  jstring s =
      e->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(units.size()));
  const char* c = e->GetStringUTFChars(s, nullptr);
  std::string out(c);
  e->ReleaseStringUTFChars(s, c);
  e->DeleteLocalRef(s);
  return out;
}

// An unknown charset: every conversion gives null and nothing is left pending.
void checkUnknown(KyConversion& conv, const std::string& bytes, const std::u16string& units) {
  int a = static_cast<int>(bytes.size());
  VY_FUZZ_CHECK(conv.fromNativeToUTF16(nullptr, bytes.data(), a) == nullptr && a == 0,
                "an unknown charset decoded");
  int c = static_cast<int>(units.size());
  VY_FUZZ_CHECK(
      conv.fromUTF16ToNative(nullptr, reinterpret_cast<const unsigned short*>(units.c_str()), c) ==
              nullptr &&
          c == 0,
      "an unknown charset encoded");
  VY_FUZZ_CHECK(conv.fromNativeToUTF8(nullptr, bytes.c_str()) == nullptr, "an unknown charset");
  VY_FUZZ_CHECK(conv.fromUTF8ToNative(nullptr, modifiedUtf8(units).c_str()) == nullptr,
                "an unknown charset");
  vyfuzz::FuzzJvm::requireNoException("a conversion");
}

void checkCharset(const char* name, const std::string& bytes, const std::u16string& units) {
  KyConversion conv(name);
  if (std::strcmp(name, "no-such-charset-x") == 0) checkUnknown(conv, bytes, units);
  const std::string text(bytes.c_str());  // up to the first NUL, as the 8-bit forms read it

  int a = static_cast<int>(bytes.size()), b = a;
  unsigned short* kit16 = conv.fromNativeToUTF16(nullptr, bytes.data(), a);
  unsigned short* jvm16 = conv.jvmNativeToUTF16(nullptr, bytes.data(), b);
  VY_FUZZ_CHECK(sameUnits(kit16, a, jvm16, b), "fromNativeToUTF16 differs from the JVM");
  std::free(kit16);
  std::free(jvm16);

  int c = static_cast<int>(units.size()), d = c;
  auto* u = reinterpret_cast<const unsigned short*>(units.c_str());
  char* kit8 = conv.fromUTF16ToNative(nullptr, u, c);
  char* jvm8 = conv.jvmUTF16ToNative(nullptr, u, d);
  VY_FUZZ_CHECK(sameBytes(kit8, c, jvm8, d), "fromUTF16ToNative differs from the JVM");
  std::free(kit8);
  std::free(jvm8);

  char* kitUtf = conv.fromNativeToUTF8(nullptr, text.c_str());
  char* jvmUtf = conv.jvmNativeToUTF8(nullptr, text.c_str());
  VY_FUZZ_CHECK(sameText(kitUtf, jvmUtf), "fromNativeToUTF8 differs from the JVM");
  std::free(kitUtf);
  std::free(jvmUtf);

  std::string utf = modifiedUtf8(units);
  char* kitNative = conv.fromUTF8ToNative(nullptr, utf.c_str());
  char* jvmNative = conv.jvmUTF8ToNative(nullptr, utf.c_str());
  VY_FUZZ_CHECK(sameText(kitNative, jvmNative), "fromUTF8ToNative differs from the JVM");
  std::free(kitNative);
  std::free(jvmNative);
  vyfuzz::FuzzJvm::requireNoException("a conversion");
}

void checkEightBit(const std::string& bytes) {
  const char* text = bytes.c_str();
  char* utf = KyConversion::fromEightBitCharToUTF8(text);
  VY_FUZZ_CHECK(utf != nullptr, "fromEightBitCharToUTF8 gave null");
  char* back = KyConversion::fromUTF8ToEightBitChar(utf);
  VY_FUZZ_CHECK(back != nullptr && std::strcmp(back, text) == 0, "Latin-1 -> UTF-8 -> Latin-1");
  std::free(back);
  std::free(utf);
  // Arbitrary bytes as UTF-8: never read past the terminator (the sanitizer watches).
  char* any = KyConversion::fromUTF8ToEightBitChar(text);
  VY_FUZZ_CHECK(any != nullptr && std::strlen(any) <= std::strlen(text), "8-bit length");
  std::free(any);
}

void checkSixteenBit(const std::u16string& units) {
  std::u16string z(units.c_str());  // up to the first zero unit
  auto* s = reinterpret_cast<unsigned short*>(&z[0]);
  VY_FUZZ_CHECK(jcslen(s) == static_cast<int>(z.size()), "jcslen");
  if (z.size() >= 2) {
    std::u16string sub = z.substr(z.size() / 2, 2);
    unsigned short* hit = jcsstr(s, reinterpret_cast<unsigned short*>(&sub[0]));
    size_t expect = z.find(sub);
    VY_FUZZ_CHECK(hit != nullptr && static_cast<size_t>(hit - s) == expect, "jcsstr");
  }
  long expected = 0;
  {
    size_t i = 0;
    while (i < z.size() && (z[i] == u' ' || z[i] == u'\t')) ++i;
    bool negative = false;
    if (i < z.size() && (z[i] == u'-' || z[i] == u'+')) negative = z[i++] == u'-';
    unsigned long v = 0;
    for (; i < z.size() && z[i] >= u'0' && z[i] <= u'9'; ++i) v = v * 10 + (z[i] - u'0');
    expected = static_cast<long>(negative ? 0UL - v : v);
  }
  VY_FUZZ_CHECK(jatol(s) == expected, "jatol");
  std::string narrow(z.size() + 1, '\0');
  VY_FUZZ_CHECK(jcstoacs(&narrow[0], s, static_cast<unsigned>(z.size() + 1)) == z.size(),
                "jcstoacs");
  std::u16string wide(narrow.size(), u'\0');
  VY_FUZZ_CHECK(acstojcs(reinterpret_cast<unsigned short*>(&wide[0]), narrow.c_str(),
                         static_cast<unsigned>(narrow.size())) == std::strlen(narrow.c_str()),
                "acstojcs");
}

// Each codec at every vector level against the scalar code.
template <typename T, typename F>
void sameBothWays(size_t capacity, F convert, const char* what) {
  std::basic_string<T> out[4];
  vy::codec::Converted c[4];
  int levels = static_cast<int>(vy::codec::bestVectorLevel()) + 1;
  for (int level = 0; level < levels; ++level) {
    vy::codec::useVectorLevel(static_cast<vy::codec::VectorLevel>(level));
    out[level].assign(capacity, T{0});
    c[level] = convert(&out[level][0]);
    VY_FUZZ_CHECK(c[level].written <= capacity, what);
    out[level].resize(c[level].written);
  }
  vy::codec::useVectorLevel(vy::codec::bestVectorLevel());
  for (int level = 1; level < levels; ++level) {
    VY_FUZZ_CHECK(out[0] == out[level] && c[0].malformed == c[level].malformed, what);
  }
}

void checkCodecs(const std::string& bytes, const std::u16string& units) {
  namespace codec = vy::codec;
  auto s = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t n = bytes.size();
  std::string z(bytes.c_str());
  auto m = reinterpret_cast<const uint8_t*>(z.c_str());
  auto u = reinterpret_cast<const uint16_t*>(units.data());
  for (codec::Charset cs :
       {codec::Charset::kUtf8, codec::Charset::kLatin1, codec::Charset::kAscii}) {
    sameBothWays<uint16_t>(
        codec::utf16Capacity(n), [&](uint16_t* o) { return codec::nativeToUtf16(cs, s, n, o); },
        "nativeToUtf16: vector and scalar differ");
    sameBothWays<uint8_t>(
        codec::modifiedUtf8Capacity(s, n),
        [&](uint8_t* o) { return codec::nativeToModifiedUtf8(cs, s, n, o); },
        "nativeToModifiedUtf8: vector and scalar differ");
    sameBothWays<uint8_t>(
        codec::nativeCapacityFromModified(cs, m, z.size()),
        [&](uint8_t* o) { return codec::modifiedUtf8ToNative(cs, m, z.size(), o); },
        "modifiedUtf8ToNative: vector and scalar differ");
    sameBothWays<uint8_t>(
        codec::nativeCapacityFromUtf16(cs, u, units.size()),
        [&](uint8_t* o) { return codec::utf16ToNative(cs, u, units.size(), o); },
        "utf16ToNative: vector and scalar differ");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  vyfuzz::FuzzJvm::initialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const char* name = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::u16string units = vyfuzz::FuzzSpecs::unitsOf(data + 1, size - 1);
  checkCharset(name, bytes, units);
  checkCodecs(bytes, units);
  checkEightBit(bytes);
  checkSixteenBit(units);
  return 0;
}
