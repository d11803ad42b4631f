// The framework's reference-counted text: a String is one pointer to a shared StringRep, copied
// on write. Used as the key text of StringHash, as the names of performance flows and to build
// the performance-monitor text.
//
// Ownership: each String holds one count on its representation; the representation and its text
// are freed when the last count goes. The empty text is one static representation shared by every
// empty String, in this library and in any other library that compiles its own copy of these
// containers; it is never freed, whatever becomes of its count.
//
// Failures: running out of text memory writes "[INSUFMEM] No stringspace left" on standard error
// and aborts (after one call of an installed new-handler and one retry). An index at or beyond
// the length writes "[INDEXRANGE] Index out of Range: string@<address>" and aborts.
//
// Threads: a String and its copies are used by one thread at a time. Empty Strings may be copied
// and destroyed on any number of threads at once, and concatenation keeps no shared scratch space,
// so two threads concatenating never disturb each other.
#ifndef VY_STRING_HPP
#define VY_STRING_HPP

#include <iosfwd>

#include "VyContainerApi.hpp"

class SubString;
class Range;

// The shared representation of a String's text.
struct VY_CONTAINER_API StringRep {
  unsigned int count;  // number of Strings sharing this representation
  unsigned int len;    // text length in bytes, without the terminator
  char* s;             // NUL-terminated text from malloc/realloc, released with free
  // Set only on the static empty representation. Its count is kept with atomic operations and it
  // is never freed nor written. A flag rather than an address test, because a String may have been
  // made by another library's copy of these containers, with a static representation of its own.
  bool isStatic;

  // h = length, then each group of 4 bytes read big-endian is XORed in; a last group of 1 to 3
  // bytes fills the high-order bytes of a 32-bit number whose other bytes are 0. The result is
  // always a 32-bit value.
  unsigned long hash() const;
};

class VY_CONTAINER_API String {
 public:
  // The static representation of the empty text, shared by every empty String of this library.
  static StringRep* theEmptyRep;

  String();
  // A null s is taken as the empty text.
  String(const char* s);  // NOLINT(runtime/explicit): texts convert to Strings freely
  String(const String& other);
  explicit String(char c);
  // n copies of c; with n == 1, c must be printable or the process stops on the assertion
  // "l != 1 || isprint(c)".
  String(char c, unsigned int n);
  String(const SubString& s);  // NOLINT(runtime/explicit)
  ~String();

  String& operator=(const String& other);
  String& operator=(const char* s);
  String& operator=(const SubString& s);

  // Appending makes the representation private first (copy on write).
  String& operator+=(const String& other);
  String& operator+=(const SubString& s);
  String& operator+=(const char* s);
  String& operator+=(char c);

  // i must be below the length, else "[INDEXRANGE] ..." and abort. The non-const form makes the
  // representation private first.
  char& operator[](unsigned int i);
  char operator[](unsigned int i) const;

  // The part [start, start + len). A part outside the text reports "[SUBSTRERR] ..." and aborts.
  SubString operator()(int start, int len) const;
  // The part the range names; an invalid range reports "[BADRANGE] ..." and aborts.
  SubString operator()(const Range& r) const;

  // Position of the first c at or after start; -1 when c is NUL, start > length, or none.
  int index(char c, unsigned int start = 0) const;
  // Position of the last c at or before start (start is clipped to the length); -1 when none.
  int rindex(char c, unsigned int start = ~0u) const;

  // Clears the top bit of every byte.
  void toAscii();
  // Gives this String a private representation when it shares one.
  void unique();

  void printOn(std::ostream& os) const;

  // The text; valid until this String is changed, assigned or destroyed.
  const char* chars() const { return rep_->s; }
  const char* c_str() const { return rep_->s; }
  unsigned int length() const { return rep_->len; }
  bool isEmpty() const { return rep_->len == 0; }
  unsigned long hash() const { return rep_->hash(); }
  const StringRep* rep() const { return rep_; }
  unsigned int refCount() const { return rep_->count; }

  friend VY_CONTAINER_API String operator+(const String& a, const String& b);
  friend VY_CONTAINER_API String operator+(const String& a, const SubString& b);
  friend VY_CONTAINER_API String operator+(const SubString& a, const String& b);
  friend VY_CONTAINER_API String operator+(const String& a, const char* b);
  friend VY_CONTAINER_API String operator+(const char* a, const String& b);
  friend VY_CONTAINER_API String operator+(const String& a, char b);
  friend VY_CONTAINER_API String operator+(char a, const String& b);

 private:
  explicit String(StringRep* rep) : rep_(rep) {}

  // A String holding a followed by b, built directly in its own representation.
  static String concat(const char* a, unsigned int alen, const char* b, unsigned int blen);
  void append(const char* p, unsigned int n);
  [[noreturn]] void indexRangeErr() const;

  StringRep* rep_;
};

VY_CONTAINER_API bool operator==(const String& a, const String& b);
VY_CONTAINER_API bool operator==(const String& a, const char* b);
VY_CONTAINER_API bool operator!=(const String& a, const String& b);
VY_CONTAINER_API bool operator!=(const String& a, const char* b);
VY_CONTAINER_API std::ostream& operator<<(std::ostream& os, const String& s);

#endif  // VY_STRING_HPP
