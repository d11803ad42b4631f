#include "vy_porting.hpp"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// The radix check stays active in release builds: a caller asking for hexadecimal would
// otherwise silently get decimal text.
void requireDecimal(int output_radix, const char* function, int line) {
  if (output_radix != 10) {
    std::fprintf(stderr, "%s:%d: %s: Assertion `output_radix == 10' failed.\n", __FILE__, line,
                 function);
    std::abort();
  }
}

}  // namespace

extern "C" {

VY_PORTING_API char* itoa(int value, char* buffer, int output_radix) {
  requireDecimal(output_radix, "itoa", __LINE__);
  std::sprintf(buffer, "%d", value);
  return buffer;
}

VY_PORTING_API char* _itoa(int value, char* buffer, int output_radix) {
  requireDecimal(output_radix, "_itoa", __LINE__);
  std::sprintf(buffer, "%d", value);
  return buffer;
}

VY_PORTING_API char* ltoa(long value, char* buffer, int output_radix) {
  requireDecimal(output_radix, "ltoa", __LINE__);
  std::sprintf(buffer, "%ld", value);
  return buffer;
}

VY_PORTING_API int stricmp(const char* a, const char* b) { return strcasecmp(a, b); }

VY_PORTING_API int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }

VY_PORTING_API int _strnicmp(const char* a, const char* b, size_t count) {
  return strncasecmp(a, b, count);
}

VY_PORTING_API int _snprintf(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  return result;
}

}  // extern "C"
