// Texts the kit hands out with malloc (callers release them with free, as the connector API
// documents). One out-of-memory policy for all of them: the process stops with a message, since
// every caller would otherwise have to invent its own answer to a failure it cannot report.
#ifndef VY_TEXT_COPY_HPP
#define VY_TEXT_COPY_HPP

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vy {

// malloc(n), stopping the process when no memory is left.
inline void* allocOrStop(size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) {
    std::fputs("VyConnector: out of memory\n", stderr);
    std::abort();
  }
  return p;
}

// A zero-terminated copy of n bytes.
inline char* copyText(const char* text, size_t n) {
  char* out = static_cast<char*>(allocOrStop(n + 1));
  if (n > 0) std::memcpy(out, text, n);
  out[n] = '\0';
  return out;
}

// A copy of a zero-terminated text; null for null.
inline char* copyText(const char* text) {
  return text == nullptr ? nullptr : copyText(text, std::strlen(text));
}

inline char* copyText(const std::string& text) { return copyText(text.data(), text.size()); }

}  // namespace vy

#endif  // VY_TEXT_COPY_HPP
