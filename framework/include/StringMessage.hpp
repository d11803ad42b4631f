// One field buffer of the agent's wire format, kept both as UTF-16 text (what crosses to the
// agent) and as native-encoded tokens (what connector and framework code read).
//
// A message is a concatenation of fields; each field is the decimal number of UTF-16 units of its
// text, the delimiter (U+0003 unless changed) and the text itself. The length prefix alone
// delimits a field, so a text may contain the delimiter; an empty or null text is written "null".
//
// Parsing is defensive: a field whose prefix is not a run of digits directly followed by the
// delimiter, whose length is below 1, or whose length reaches past the end of the input ends the
// split; the fields before it stay and the malformed tail is dropped from both views. Nothing is
// allocated for a field before the input is known to hold it.
//
// Ownership: the message owns both views. Pointers returned by nextToken() stay valid until the
// message grows or is destroyed; toString() and toUTF16String() until the next change. Conversion
// failures are reported to the agent (message 80014) and the message keeps what it had.
// Threads: one thread at a time.
#ifndef VY_STRING_MESSAGE_HPP
#define VY_STRING_MESSAGE_HPP

#include "VyExport.hpp"

class KyConversion;

class VY_EXPORT StringMessage {
 public:
  // Initial capacity of both buffers (units and bytes) and the extra room added at each growth.
  static int defaultSize;

  StringMessage();
  explicit StringMessage(int size);
  // Native text, converted to UTF-16 and split into tokens; null gives an empty message.
  explicit StringMessage(const char* text);
  // As above; when `text` is not null the delimiter is set first.
  StringMessage(const char* text, const char* delimiter);
  explicit StringMessage(const unsigned short* text);
  StringMessage(const unsigned short* text, const char* delimiter);
  ~StringMessage();
  StringMessage(const StringMessage&) = delete;
  StringMessage& operator=(const StringMessage&) = delete;

  // Appends one field. An empty or null value is written "null". On a conversion failure the
  // agent is told and nothing is appended.
  void appendField(const char* value);
  // 1 appends "true", 0 appends "false"; any other value appends nothing.
  void appendBooleanField(int value);
  // Appends already encoded fields (for example a child object's message). Only the well-formed
  // leading fields are kept; null or empty text does nothing.
  void appendString(const unsigned short* text);

  // Rebuilds the token list from the UTF-16 text and rewinds the read position.
  void initTokenizer();
  // The next token (native, NUL-terminated) or null when there is none.
  char* nextToken();
  bool hasMoreTokens() const { return readPos < tokenUsed; }

  // The whole message in native encoding, owned by the message; null when the message is empty
  // or the conversion failed.
  char* toString();
  // The UTF-16 text itself, zero-terminated; owned by the message.
  unsigned short* toUTF16String() const { return utf16; }

  // Replaces the delimiter (null does nothing; a text that cannot be converted keeps the old
  // one) and in every case re-splits the existing text from the first field.
  void setDelimiter(const char* delimiter);

  // Byte length of toString(), 0 when it is null.
  int getCurrentSize();
  int getCurrentUTF16Size() const { return utf16Length; }

  // Tells the agent that a text could not be converted (message 80014, type MLV_FATAL, with the
  // encoding name) and logs it.
  void logEncodingError();

 private:
  void init(int size);
  KyConversion* getConverter();
  // Whether ASCII text may bypass the converter (the native encoding maps it byte for unit).
  bool useAsciiFastPath();
  void appendNativeText(const char* text);
  void appendUnitsAndSplit(const unsigned short* text, int length);
  // Splits `length` units of `text` into tokens; returns the units consumed by whole fields.
  int splitStringToTokens(const unsigned short* text, int length);
  bool delimiterAt(const unsigned short* text, int length, int pos) const;
  // Room for a token of `bytes` bytes plus its NUL at the end of the token buffer; null when the
  // buffer cannot grow that far.
  char* tokenRoom(int bytes);
  bool appendToken(const char* text, int bytes);
  bool appendUnits(const unsigned short* text, int units);
  // Makes room for `units` more units (and the terminator) in the UTF-16 view.
  bool reserveUnits(int units);

  KyConversion* converter;  // created on first use
  int asciiFastPath;        // -1 not yet known, else 0 or 1
  unsigned short* delimiter;
  int delimiterLength;
  unsigned short* utf16;
  int utf16Capacity;
  int utf16Length;
  char* tokens;
  int tokenCapacity;
  int tokenUsed;
  int readPos;
  char* nativeCache;
  int cacheMark;  // utf16Length when nativeCache was made, -1 when there is none
  int nativeLength;
};

#endif  // VY_STRING_MESSAGE_HPP
