#include "String.hpp"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <new>

#include "Range.hpp"
#include "SubString.hpp"

namespace {

char emptyText[1] = "";
// Constant-initialised, so Strings built by other libraries' static constructors find it ready.
// Its count starts at 1 for the pointer theEmptyRep itself.
StringRep emptyRep = {1, 0, emptyText, true};

[[noreturn]] void noStringSpace() {
  std::cerr << "[INSUFMEM] No stringspace left" << std::endl;
  std::abort();
}

// realloc (malloc when old is null) that never returns null: an installed new-handler is given
// one chance to release memory, then the allocation is retried once. Handing a null text back to
// a String would only move the failure to the next read of it.
void* allocate(void* old, size_t n) {
  void* p = std::realloc(old, n);
  if (p != nullptr) return p;
  std::new_handler handler = std::get_new_handler();
  if (handler != nullptr) {
    handler();
    std::set_new_handler(handler);
    p = std::realloc(old, n);
    if (p != nullptr) return p;
  }
  noStringSpace();
}

// A private representation with room for len characters and the terminator; count 1.
StringRep* newRep(size_t len) {
  if (len >= UINT_MAX) noStringSpace();
  StringRep* rep = static_cast<StringRep*>(allocate(nullptr, sizeof(StringRep)));
  rep->count = 1;
  rep->len = static_cast<unsigned int>(len);
  rep->s = static_cast<char*>(allocate(nullptr, len + 1));
  rep->s[len] = '\0';
  rep->isStatic = false;
  return rep;
}

StringRep* newRep(const char* text, size_t len) {
  if (len == 0) {
    return nullptr;
  }
  StringRep* rep = newRep(len);
  std::memcpy(rep->s, text, len);
  return rep;
}

// Counts change atomically: copies of one String (a registry's key and a caller's, say) may be
// made and dropped on different threads.
void acquire(StringRep* rep) { __atomic_add_fetch(&rep->count, 1, __ATOMIC_RELAXED); }

// The static empty representation only counts down; whatever its count reaches it is never freed.
void release(StringRep* rep) {
  if (rep->isStatic) {
    __atomic_sub_fetch(&rep->count, 1, __ATOMIC_RELAXED);
    return;
  }
  if (__atomic_sub_fetch(&rep->count, 1, __ATOMIC_ACQ_REL) == 0) {
    std::free(rep->s);
    std::free(rep);
  }
}

[[noreturn]] void assertionFailed(const char* expr, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: Assertion `%s' failed.\n", file, line, expr);
  std::abort();
}

}  // namespace

StringRep* String::theEmptyRep = &emptyRep;

unsigned long StringRep::hash() const {
  uint32_t h = len;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  unsigned int n = len;
  for (; n >= 4; n -= 4, p += 4) {
    h ^= (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
  }
  if (n > 0) {
    uint32_t last = 0;
    for (unsigned int i = 0; i < n; ++i) last |= uint32_t{p[i]} << (24 - 8 * i);
    h ^= last;
  }
  return h;
}

String::String() : rep_(theEmptyRep) { acquire(rep_); }

String::String(const char* s) {
  StringRep* rep = s == nullptr ? nullptr : newRep(s, std::strlen(s));
  if (rep == nullptr) {
    rep = theEmptyRep;
    acquire(rep);
  }
  rep_ = rep;
}

String::String(const String& other) : rep_(other.rep_) { acquire(rep_); }

String::String(char c) : rep_(newRep(1)) { rep_->s[0] = c; }

String::String(char c, unsigned int l) {
  if (l == 1 && !std::isprint(static_cast<unsigned char>(c))) {
    assertionFailed("l != 1 || isprint(c)", __FILE__, __LINE__);
  }
  if (l == 0) {
    rep_ = theEmptyRep;
    acquire(rep_);
    return;
  }
  rep_ = newRep(l);
  std::memset(rep_->s, c, l);
}

String::String(const SubString& s) {
  StringRep* rep = newRep(s.chars(), s.length());
  if (rep == nullptr) {
    rep = theEmptyRep;
    acquire(rep);
  }
  rep_ = rep;
}

String::~String() { release(rep_); }

String& String::operator=(const String& other) {
  if (rep_ == other.rep_) return *this;
  acquire(other.rep_);
  release(rep_);
  rep_ = other.rep_;
  return *this;
}

// The new text is copied before the old representation goes: s may point into it.
String& String::operator=(const char* s) {
  String copy(s);
  std::swap(rep_, copy.rep_);
  return *this;
}

String& String::operator=(const SubString& s) {
  String copy(s);
  std::swap(rep_, copy.rep_);
  return *this;
}

void String::unique() {
  if (!rep_->isStatic && __atomic_load_n(&rep_->count, __ATOMIC_ACQUIRE) < 2) return;
  StringRep* copy = newRep(rep_->len);
  std::memcpy(copy->s, rep_->s, rep_->len);
  release(rep_);
  rep_ = copy;
}

void String::append(const char* p, unsigned int n) {
  if (n == 0) return;
  unique();
  unsigned int oldLen = rep_->len;
  if (static_cast<size_t>(oldLen) + n >= UINT_MAX) noStringSpace();
  // p may point into this String's own text (s += s), which realloc may move.
  std::less_equal<const char*> le;
  bool inside = le(rep_->s, p) && le(p, rep_->s + oldLen);
  size_t offset = inside ? static_cast<size_t>(p - rep_->s) : 0;
  rep_->s = static_cast<char*>(allocate(rep_->s, static_cast<size_t>(oldLen) + n + 1));
  std::memmove(rep_->s + oldLen, inside ? rep_->s + offset : p, n);
  rep_->len = oldLen + n;
  rep_->s[rep_->len] = '\0';
}

String& String::operator+=(const String& other) {
  append(other.rep_->s, other.rep_->len);
  return *this;
}

String& String::operator+=(const SubString& s) {
  append(s.chars(), s.length());
  return *this;
}

String& String::operator+=(const char* s) {
  if (s != nullptr) append(s, static_cast<unsigned int>(std::strlen(s)));
  return *this;
}

String& String::operator+=(char c) {
  append(&c, 1);
  return *this;
}

void String::indexRangeErr() const {
  std::cerr << "[INDEXRANGE] Index out of Range: string@" << static_cast<const void*>(this)
            << std::endl;
  std::abort();
}

char& String::operator[](unsigned int i) {
  if (i >= rep_->len) indexRangeErr();
  unique();
  return rep_->s[i];
}

char String::operator[](unsigned int i) const {
  if (i >= rep_->len) indexRangeErr();
  return rep_->s[i];
}

SubString String::operator()(int start, int len) const { return SubString(*this, start, len); }

SubString String::operator()(const Range& r) const {
  if (!r.isValidFor(rep_->len)) {
    std::cerr << "[BADRANGE] Invalid or undefined Range [" << r << "] for SubString" << std::endl;
    std::abort();
  }
  return SubString(*this, r.start(), r.length());
}

int String::index(char c, unsigned int start) const {
  if (c == '\0' || start > rep_->len) return -1;
  const char* p = std::strchr(rep_->s + start, c);
  return p == nullptr ? -1 : static_cast<int>(p - rep_->s);
}

int String::rindex(char c, unsigned int start) const {
  if (start > rep_->len) start = rep_->len;
  for (unsigned int i = start; i >= 1; --i) {
    if (rep_->s[i] == c) return static_cast<int>(i);
  }
  return rep_->s[0] == c ? 0 : -1;
}

void String::toAscii() {
  if (rep_->len == 0) return;
  unique();
  for (unsigned int i = 0; i < rep_->len; ++i) rep_->s[i] &= 0x7f;
}

void String::printOn(std::ostream& os) const { os.write(rep_->s, rep_->len); }

String String::concat(const char* a, unsigned int alen, const char* b, unsigned int blen) {
  size_t total = static_cast<size_t>(alen) + blen;
  if (total == 0) return String();
  StringRep* rep = newRep(total);
  if (alen > 0) std::memcpy(rep->s, a, alen);
  if (blen > 0) std::memcpy(rep->s + alen, b, blen);
  return String(rep);
}

String operator+(const String& a, const String& b) {
  return String::concat(a.chars(), a.length(), b.chars(), b.length());
}

String operator+(const String& a, const SubString& b) {
  return String::concat(a.chars(), a.length(), b.chars(), b.length());
}

String operator+(const SubString& a, const String& b) {
  return String::concat(a.chars(), a.length(), b.chars(), b.length());
}

String operator+(const String& a, const char* b) {
  unsigned int blen = b == nullptr ? 0 : static_cast<unsigned int>(std::strlen(b));
  return String::concat(a.chars(), a.length(), b, blen);
}

String operator+(const char* a, const String& b) {
  unsigned int alen = a == nullptr ? 0 : static_cast<unsigned int>(std::strlen(a));
  return String::concat(a, alen, b.chars(), b.length());
}

String operator+(const String& a, char b) { return String::concat(a.chars(), a.length(), &b, 1); }

String operator+(char a, const String& b) { return String::concat(&a, 1, b.chars(), b.length()); }

bool operator==(const String& a, const String& b) {
  return a.length() == b.length() && std::memcmp(a.chars(), b.chars(), a.length()) == 0;
}

bool operator==(const String& a, const char* b) {
  return b != nullptr && std::strcmp(a.chars(), b) == 0;
}

bool operator!=(const String& a, const String& b) { return !(a == b); }

bool operator!=(const String& a, const char* b) { return !(a == b); }

std::ostream& operator<<(std::ostream& os, const String& s) {
  s.printOn(os);
  return os;
}
