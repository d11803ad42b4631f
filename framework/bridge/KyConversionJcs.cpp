// The zero-terminated 16-bit string helpers declared beside KyConversion.
#include "KyConversion.hpp"

// ---- zero-terminated 16-bit strings -----------------------------------------------------------

int jcslen(const unsigned short* s) {
  if (s == nullptr) return 0;
  const unsigned short* p = s;
  while (*p != 0) ++p;
  return static_cast<int>(p - s);
}

unsigned short* jcscpy(unsigned short* dst, const unsigned short* src) {
  unsigned short* d = dst;
  while ((*d++ = *src++) != 0) {
  }
  return dst;
}

unsigned short* jcsncpy(unsigned short* dst, const unsigned short* src, unsigned n) {
  unsigned i = 0;
  for (; i < n && src[i] != 0; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = 0;
  return dst;
}

unsigned short* jcsstr(unsigned short* s, unsigned short* sub) {
  if (s == nullptr || sub == nullptr) return nullptr;
  if (*sub == 0) return s;
  for (; *s != 0; ++s) {
    const unsigned short* a = s;
    const unsigned short* b = sub;
    while (*b != 0 && *a == *b) {
      ++a;
      ++b;
    }
    if (*b == 0) return s;
  }
  return nullptr;
}

unsigned jcstoacs(char* dst, const unsigned short* src, unsigned n) {
  unsigned i = 0;
  for (; i < n; ++i) {
    dst[i] = static_cast<char>(src[i] & 0xFF);
    if (src[i] == 0) break;
  }
  return i;
}

unsigned acstojcs(unsigned short* dst, const char* src, unsigned n) {
  unsigned i = 0;
  for (; i < n; ++i) {
    dst[i] = static_cast<unsigned char>(src[i]);
    if (src[i] == '\0') break;
  }
  return i;
}

long jatol(const unsigned short* s) {
  if (s == nullptr) return 0;
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  if (*s < '0' || *s > '9') return 0;
  unsigned long value = 0;  // wraps rather than overflowing on absurdly long digit runs
  for (; *s >= '0' && *s <= '9'; ++s) value = value * 10 + (*s - '0');
  return static_cast<long>(negative ? 0UL - value : value);
}

void byteprint(char* bytes, int length) {
  (void)bytes;
  (void)length;
}
