// A table entry keyed by a text: the key of the spec directory, the spec lists and the
// subscription table. Its hash is the String hash of the text; equality is case-sensitive.
//
// Ownership: the entry holds its own String (a shared, counted copy of the text).
#ifndef VY_STRINGHASH_HPP
#define VY_STRINGHASH_HPP

#include "Hashable.hpp"
#include "String.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API StringHash : public Hashable {
 public:
  // A null text is taken as the empty text.
  explicit StringHash(const char* text) : str_(text) {}
  explicit StringHash(const String& str) : str_(str) {}
  StringHash(const StringHash& other) = default;
  StringHash& operator=(const StringHash& other) = default;
  ~StringHash() override;

  unsigned long hash() const override;
  // Equal when other (a StringHash) holds the same text (strcmp == 0).
  int isEqual(const Hashable& other) const override;

  const String& getString() const { return str_; }
  const char* chars() const { return str_.chars(); }

 private:
  String str_;
};

#endif  // VY_STRINGHASH_HPP
