// A read-only view of part of a String: the String it views, a start and a length.
//
// Ownership: the view holds its own count on the String's representation, so it stays valid
// however the viewed String is later changed or destroyed (a change gives the String a private
// copy, and the view keeps the text it was made from).
//
// Failures: a negative start or length, or an end (start + length - 1) beyond the text, writes
// "[SUBSTRERR] Substring position/lenght out of Range (<start>,<length>)" on standard error and
// aborts. Threads: as String.
#ifndef VY_SUBSTRING_HPP
#define VY_SUBSTRING_HPP

#include <iosfwd>

#include "String.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API SubString {
 public:
  SubString(const String& str, int start, int length);

  // The first viewed character; the view is not NUL-terminated, use length().
  const char* chars() const { return str_.chars() + start_; }
  unsigned int length() const { return static_cast<unsigned int>(length_); }
  int start() const { return start_; }
  const String& string() const { return str_; }

  // strncmp over the viewed length (for two views, over the shorter length); when that is 0 and
  // the lengths differ, the shorter text is less (-1 or 1). A null text counts as empty.
  int compare(const char* s) const;
  int compare(const String& s) const;
  int compare(const SubString& s) const;
  // The same with the locale's collation (strcoll) on the texts cut at the compared length.
  int collate(const char* s) const;
  int collate(const String& s) const;
  int collate(const SubString& s) const;

  // Writes the viewed text.
  void printOn(std::ostream& os) const;

 private:
  String str_;
  int start_;
  int length_;
};

VY_CONTAINER_API bool operator==(const SubString& a, const char* b);
VY_CONTAINER_API bool operator==(const SubString& a, const String& b);
VY_CONTAINER_API bool operator==(const SubString& a, const SubString& b);
VY_CONTAINER_API std::ostream& operator<<(std::ostream& os, const SubString& s);

#endif  // VY_SUBSTRING_HPP
