// Whether the vector code is built here and turned on, and how far past its result it may
// write: callers size outputs with the capacity functions of Codec.hpp, which include the slack.
#ifndef VY_CODEC_VECTOR_HPP
#define VY_CODEC_VECTOR_HPP

#include <cstddef>
#include <cstdint>

// Defined to 0 by a build that wants the portable code alone (as on any other machine).
#ifndef VY_CODEC_X86
#if defined(__x86_64__) || defined(__i386__)
#define VY_CODEC_X86 1
#else
#define VY_CODEC_X86 0
#endif
#endif

namespace vy::codec {

// Set once when the library loads (x86 with SSE4.1); tests may turn it off. gAvx512Paths: the
// AVX-512 level's whole conversions are in use.
extern bool gVectorPaths;
extern bool gAvx512Paths;
inline bool vectorOn() { return VY_CODEC_X86 && gVectorPaths; }
inline bool avx512On() { return VY_CODEC_X86 && gAvx512Paths; }

// Output units a vector path may write past its result: a 64-unit window over the padding of a
// short tail, and one store beyond that.
constexpr size_t kSlack = 160;

// Bytes above 0x7F in s[0, n), and zero bytes too when `withNul`.
size_t countHigh(const uint8_t* s, size_t n, bool withNul = false);

}  // namespace vy::codec

#endif  // VY_CODEC_VECTOR_HPP
