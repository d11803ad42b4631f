/* The few non-standard C runtime functions the connector framework calls, under the names other
 * platforms' runtimes give them, each a thin layer over the POSIX C library. The library holds no
 * state; every function is reentrant.
 *
 * itoa, _itoa and ltoa write the value in decimal and accept only radix 10: any other radix stops
 * the process on the assertion "output_radix == 10" (kept in every build). The caller supplies a
 * buffer large enough for the text and its NUL: 12 bytes for an int, 21 for a 64-bit long.
 * The comparison and print functions forward their arguments unchanged and return exactly what
 * strcasecmp, strncasecmp and snprintf return. */
#ifndef VY_PORTING_HPP
#define VY_PORTING_HPP

#include <stddef.h>

#define VY_PORTING_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

VY_PORTING_API char* itoa(int value, char* buffer, int output_radix);
VY_PORTING_API char* _itoa(int value, char* buffer, int output_radix);
VY_PORTING_API char* ltoa(long value, char* buffer, int output_radix);
VY_PORTING_API int stricmp(const char* a, const char* b);
VY_PORTING_API int _stricmp(const char* a, const char* b);
VY_PORTING_API int _strnicmp(const char* a, const char* b, size_t count);
VY_PORTING_API int _snprintf(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

#ifdef __cplusplus
}
#endif

#endif /* VY_PORTING_HPP */
