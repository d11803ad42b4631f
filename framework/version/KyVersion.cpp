#include "KyVersion.hpp"

#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

char defaultDelimiter[] = ".";

// One "%d" of scanf: optional white space, an optional sign, at least one digit. Values beyond
// the int range are held at its ends instead of overflowing. Returns false when no number starts
// at *p; on success *p moves past the number.
bool scanInt(const char** p, int* out) {
  const char* s = *p;
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  long long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*s)); ++s) {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*s - '0');
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  *out = static_cast<int>(value);
  *p = s;
  return true;
}

// A difference with the sign of a - b that never overflows.
int difference(int a, int b) {
  long long d = static_cast<long long>(a) - b;
  if (d > INT_MAX) return INT_MAX;
  if (d < INT_MIN) return INT_MIN;
  return static_cast<int>(d);
}

}  // namespace

int KyVersion::LATEST = 0;
KyVersion KyVersion::LATESTVERSION(0, 0, 0);
char* KyVersion::DELIMITER = defaultDelimiter;

// The text is read as "%d.%d.%d" would read it: each component found replaces LATEST, and the
// scan stops at the first part that does not match.
KyVersion::KyVersion(const char* text) : major_(LATEST), minor_(LATEST), point_(LATEST) {
  if (text == nullptr) return;
  const char* p = text;
  int* parts[] = {&major_, &minor_, &point_};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (*p != '.') return;
      ++p;
    }
    if (!scanInt(&p, parts[i])) return;
  }
}

int KyVersion::compareTo(const KyVersion& other) const {
  if (major_ != other.major_) return difference(major_, other.major_);
  if (minor_ != other.minor_) return difference(minor_, other.minor_);
  return difference(point_, other.point_);
}

int KyVersion::compareTo(const char* text) const { return compareTo(KyVersion(text)); }

int KyVersion::compareMajor(const KyVersion& other) const {
  return difference(major_, other.major_);
}
int KyVersion::compareMinor(const KyVersion& other) const {
  return difference(minor_, other.minor_);
}
int KyVersion::comparePoint(const KyVersion& other) const {
  return difference(point_, other.point_);
}
int KyVersion::compareMajor(int major) const { return difference(major_, major); }
int KyVersion::compareMinor(int minor) const { return difference(minor_, minor); }
int KyVersion::comparePoint(int point) const { return difference(point_, point); }

char* KyVersion::toString() const { return toString(major_, minor_, point_); }

// Each thread renders into a buffer of its own, so two threads formatting versions never
// overwrite each other's text. Longer texts are cut to the buffer's 15 characters.
char* KyVersion::toString(int major, int minor, int point) {
  thread_local char buffer[16];
  // "%d.%d.%d" without printf's format parsing: versions are rendered for every business object
  // written.
  char text[40];
  char* end = text;
  const int parts[3] = {major, minor, point};
  for (int k = 0; k < 3; ++k) {
    if (k > 0) *end++ = '.';
    end = std::to_chars(end, text + sizeof text, parts[k]).ptr;
  }
  int n = static_cast<int>(end - text);
  if (n > 15) n = 15;
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = '\0';
  return buffer;
}

int KyVersion::hashCode() const { return -1; }
int KyVersion::hashCode(const char*) { return -1; }
int KyVersion::hashCode(int, int, int) { return -1; }

int KyVersion::getLATEST() { return LATEST; }
void KyVersion::setLATEST(int latest) { LATEST = latest; }
const KyVersion& KyVersion::getLATESTVERSION() { return LATESTVERSION; }

void KyVersion::setLATESTVERSION(const KyVersion& version) {
  LATESTVERSION.major_ = version.major_;
  LATESTVERSION.minor_ = version.minor_;
  LATESTVERSION.point_ = version.point_;
}

char* KyVersion::getDELIMITER() { return DELIMITER; }
void KyVersion::setDELIMITER(char* delimiter) { DELIMITER = delimiter; }
