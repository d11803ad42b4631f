// The fields of an object text as the readers take them: one at a time, as native text. Either
// a StringMessage's own token stream, or the agent's UTF-16 text read in place: each field is
// found from its length prefix and narrowed (or converted) on its own, so the text is never
// copied whole nor split ahead of the reader.
//
// The in-place form ends where a StringMessage's split would: at a prefix that is not a run of
// digits directly followed by the delimiter, a length below 1 or past the end of the text, or a
// field that cannot be converted (reported to the agent as message 80014). It also ends at a
// field holding U+0000: a native text would silently lose what follows it.
#ifndef VY_WIRE_TOKENS_HPP
#define VY_WIRE_TOKENS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class BusObjSpec;
class KyConversion;
class StringMessage;

namespace vy {

// The converted fields of one request text whose conversion was exact, so that a value the
// handler leaves as it was read goes back as the agent's own units rather than being converted
// again: the pointer its slot was given, a copy of the native text it was read as, and the
// field's units (length prefix and delimiter included). A value counts as unchanged only while
// its slot holds that same pointer and its text still equals the copy, byte for byte.
class FieldSources {
 public:
  // The storage of the calling thread's previous request is taken over when no other request of
  // the thread holds it, and handed back at the end.
  FieldSources();
  ~FieldSources();
  FieldSources(const FieldSources&) = delete;
  FieldSources& operator=(const FieldSources&) = delete;

  void note(const KyConversion* converter, const char* kept, const char* native, size_t bytes,
            const uint16_t* field, size_t units);
  // Before a walk that writes the fields in the order they were read.
  void rewind() { cursor_ = 0; }
  // The units to write for `text` (n bytes, converted with `converter`) when it is a value noted
  // here and unchanged, with their count in *units; null otherwise.
  const uint16_t* find(const KyConversion* converter, const char* text, size_t n, size_t* units);
  bool empty() const { return entries_.empty(); }

 private:
  struct Entry {
    const char* kept;
    uint32_t native;  // offset of the copy in natives_
    uint32_t bytes;
    uint32_t at;  // offset of the field's units in units_
    uint32_t units;
  };
  const Entry* lookUp(const char* text);
  struct Spare;
  static Spare& spare();

  const KyConversion* converter_ = nullptr;
  std::vector<Entry> entries_;  // in reading order
  std::vector<char> natives_;
  std::vector<uint16_t> units_;
  std::vector<uint32_t> byPointer_;  // entries_ indices ordered by `kept`, made on first need
  size_t cursor_ = 0;
  bool owner_ = false;  // holds the thread's spare storage
};

class WireTokens {
 public:
  // Reads the decimal digits of units[k, limit) into `n`; answers where the digits stop.
  static size_t scanDigits(const uint16_t* units, size_t k, size_t limit, size_t& n) {
    for (; k < limit; ++k) {
      unsigned digit = static_cast<unsigned>(units[k]) - '0';
      if (digit > 9) break;
      n = n * 10 + digit;
    }
    return k;
  }

  explicit WireTokens(StringMessage& message) : message_(&message) {}
  // `units` must stay unchanged while the fields are read.
  WireTokens(const unsigned short* units, size_t length);
  WireTokens(const WireTokens&) = delete;
  WireTokens& operator=(const WireTokens&) = delete;

  // Moves to the next field; false (and no text) when there is none.
  bool next() {
    // The common field, taken here: a prefix of at most four digits and the delimiter, then
    // plain ASCII text of a native encoding that holds it byte for unit. Anything else (and a
    // StringMessage's tokens) goes the general way, which reads the field again from its start.
    if (ascii_ == 1 && !ended_) {
      const uint16_t* u = units_;
      const size_t total = total_;
      size_t k = pos_;
      size_t n = 0;
      k = scanDigits(u, k, total - k < 4 ? total : k + 4, n);
      size_t start = k + 1;
      if (k != pos_ && k < total && u[k] == kDelimiterUnit && n >= 1 && n <= total - start &&
          otherEnd_ > start && otherEnd_ - 8 >= start + n) {
        exact_ = false;
        fieldAt_ = pos_;
        pos_ = start + n;
        char* text = narrowedData_ + start;
        text[n] = '\0';
        text_ = text;
        length_ = n;
        return true;
      }
    }
    return nextField();
  }
  // The current field: NUL-terminated native text of length() bytes, valid until next().
  const char* text() const { return text_; }
  size_t length() const { return length_; }
  bool is(const char* literal, size_t n) const {
    return text_ != nullptr && length_ == n && std::memcmp(text_, literal, n) == 0;
  }
  template <size_t N>
  bool is(const char (&literal)[N]) const {
    // A compare of known length the compiler expands in place.
    return text_ != nullptr && length_ == N - 1 && __builtin_memcmp(text_, literal, N - 1) == 0;
  }
  // Why the fields ended before the text did, or null: a text holding U+0000 (which no native
  // text can carry), or one the native encoding cannot take.
  const char* fault() const { return fault_; }

  // Where the fields converted exactly are noted, or null.
  void noteSourcesIn(FieldSources* sources) { sources_ = sources; }
  // The current field's value was kept at `kept`: a converted field is noted for write-back.
  void kept(const char* kept) {
    if (exact_ && sources_ != nullptr) {
      sources_->note(converter_, kept, text_, length_, units_ + fieldAt_, pos_ - fieldAt_);
    }
  }

  // The specs this text's objects were found to be, by name and version text: an object text
  // holds many children of a few types, each found in the spec directory once.
  BusObjSpec* knownSpec(const std::string& name, const std::string& version) const {
    for (const KnownSpec& k : known_) {
      if (k.spec != nullptr && k.name == name && k.version == version) return k.spec;
    }
    return nullptr;
  }
  void rememberSpec(const std::string& name, const std::string& version, BusObjSpec* spec) {
    KnownSpec& k = known_[nextKnown_++ % kKnownSpecs];
    k.name = name;
    k.version = version;
    k.spec = spec;
  }

 private:
  bool nextField();
  bool convert(const uint16_t* field, size_t units);
  static constexpr uint16_t kDelimiterUnit = 3;  // as wire::kDelimiter

  struct KnownSpec {
    std::string name;
    std::string version;
    BusObjSpec* spec = nullptr;
  };
  static constexpr size_t kKnownSpecs = 4;
  KnownSpec known_[kKnownSpecs];
  size_t nextKnown_ = 0;

  StringMessage* message_ = nullptr;
  const uint16_t* units_ = nullptr;
  size_t total_ = 0;
  size_t pos_ = 0;
  size_t fieldAt_ = 0;  // where the current field's prefix starts
  bool exact_ = false;  // the current field was converted and its conversion was exact
  FieldSources* sources_ = nullptr;
  bool ended_ = false;
  int ascii_ = -1;  // whether the native encoding lets ASCII fields be narrowed; -1 not asked
  const char* text_ = nullptr;
  size_t length_ = 0;
  const char* fault_ = nullptr;
  std::vector<char>* scratch_ = nullptr;   // a converted field
  std::vector<char>* narrowed_ = nullptr;  // the whole text narrowed unit for byte
  char* narrowedData_ = nullptr;
  std::vector<uint32_t>* other_ = nullptr;  // blocks of 8 units holding one not plain ASCII
  size_t nextOther_ = 0;
  size_t otherEnd_ = 0;  // the end of the next such block at or after the read position
  void nextOther();
  KyConversion* converter_ = nullptr;
  static constexpr int kCodecUnknown = -2;  // not asked yet
  static constexpr int kNoCodec = -1;       // converted through the converter
  int codec_ = kCodecUnknown;
};

// The converter for the agent's native encoding, kept by the calling thread while the encoding
// stays the same.
KyConversion& threadConverter();

// Tells the agent that a text could not be converted (message 80014, MLV_FATAL, with the
// encoding's name) and logs it.
void logEncodingError();

}  // namespace vy

#endif  // VY_WIRE_TOKENS_HPP
