#include "SubString.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

// The shorter text is less when the compared parts are equal.
int byLength(int result, size_t alen, size_t blen) {
  if (result != 0 || alen == blen) return result;
  return alen < blen ? -1 : 1;
}

// strcoll of the two texts, each cut at n characters.
int collateCut(const char* a, size_t alen, const char* b, size_t blen, size_t n) {
  std::string left(a, std::min(alen, n));
  std::string right(b, std::min(blen, n));
  return std::strcoll(left.c_str(), right.c_str());
}

}  // namespace

SubString::SubString(const String& str, int start, int length)
    : str_(str), start_(start), length_(length) {
  if (start < 0 || length < 0 ||
      static_cast<long long>(start) + length > static_cast<long long>(str.length())) {
    std::cerr << "[SUBSTRERR] Substring position/lenght out of Range (" << start << "," << length
              << ")" << std::endl;
    std::abort();
  }
}

int SubString::compare(const char* s) const {
  if (s == nullptr) s = "";
  return byLength(std::strncmp(chars(), s, length()), length(), std::strlen(s));
}

int SubString::compare(const String& s) const {
  return byLength(std::strncmp(chars(), s.chars(), length()), length(), s.length());
}

int SubString::compare(const SubString& s) const {
  size_t n = std::min(length(), s.length());
  return byLength(std::strncmp(chars(), s.chars(), n), length(), s.length());
}

int SubString::collate(const char* s) const {
  if (s == nullptr) s = "";
  size_t slen = std::strlen(s);
  return byLength(collateCut(chars(), length(), s, slen, length()), length(), slen);
}

int SubString::collate(const String& s) const {
  return byLength(collateCut(chars(), length(), s.chars(), s.length(), length()), length(),
                  s.length());
}

int SubString::collate(const SubString& s) const {
  size_t n = std::min(length(), s.length());
  return byLength(collateCut(chars(), length(), s.chars(), s.length(), n), length(), s.length());
}

void SubString::printOn(std::ostream& os) const { os.write(chars(), length()); }

bool operator==(const SubString& a, const char* b) { return a.compare(b) == 0; }

bool operator==(const SubString& a, const String& b) { return a.compare(b) == 0; }

bool operator==(const SubString& a, const SubString& b) { return a.compare(b) == 0; }

std::ostream& operator<<(std::ostream& os, const SubString& s) {
  s.printOn(os);
  return os;
}
