#include "StringMessage.hpp"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AgentLog.hpp"
#include "AgentPort.hpp"
#include "BusObjNativeImpl.hpp"
#include "KyConversion.hpp"
#include "KyMsgFormat.hpp"
#include "WireText.hpp"
#include "WireTokens.hpp"

namespace {

constexpr unsigned short kDefaultDelimiter = 3;
constexpr int kEncodingErrorMsg = 80014;

[[noreturn]] void outOfMemory() {
  std::fputs("[INSUFMEM] No space left for a message buffer\n", stderr);
  std::abort();
}

void* allocOrDie(size_t bytes) {
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) outOfMemory();
  return p;
}

bool isDigitUnit(unsigned short u) { return u >= '0' && u <= '9'; }

bool isAsciiText(const char* text, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

bool isAsciiUnits(const unsigned short* text, int units) {
  for (int i = 0; i < units; ++i) {
    if (text[i] >= 0x80 || text[i] == 0) return false;
  }
  return true;
}

}  // namespace

int StringMessage::defaultSize = 1024;

StringMessage::StringMessage() { init(defaultSize); }

StringMessage::StringMessage(int size) { init(size); }

StringMessage::StringMessage(const char* text) {
  init(defaultSize);
  if (text != nullptr) appendNativeText(text);
}

StringMessage::StringMessage(const char* text, const char* delim) {
  init(defaultSize);
  if (text != nullptr) {
    setDelimiter(delim);
    appendNativeText(text);
  }
}

StringMessage::StringMessage(const unsigned short* text) {
  init(defaultSize);
  appendString(text);
}

StringMessage::StringMessage(const unsigned short* text, const char* delim) {
  init(defaultSize);
  setDelimiter(delim);
  appendString(text);
}

StringMessage::~StringMessage() {
  delete converter;
  std::free(delimiter);
  std::free(utf16);
  std::free(tokens);
  std::free(nativeCache);
}

void StringMessage::init(int size) {
  if (size < 1) size = 1;
  converter = nullptr;
  asciiFastPath = -1;
  cacheMark = -1;
  nativeCache = nullptr;
  nativeLength = 0;
  utf16Length = 0;
  tokenUsed = 0;
  readPos = 0;
  utf16Capacity = size;
  utf16 = static_cast<unsigned short*>(allocOrDie(sizeof(unsigned short) * size));
  utf16[0] = 0;
  tokenCapacity = size;
  tokens = static_cast<char*>(allocOrDie(size));
  // The default delimiter is a fixed UTF-16 unit; it needs no conversion.
  delimiter = static_cast<unsigned short*>(allocOrDie(sizeof(unsigned short) * 2));
  delimiter[0] = kDefaultDelimiter;
  delimiter[1] = 0;
  delimiterLength = 1;
}

KyConversion* StringMessage::getConverter() {
  if (converter == nullptr) converter = new KyConversion(vy::agentPort().encoding());
  return converter;
}

bool StringMessage::useAsciiFastPath() {
  if (asciiFastPath < 0) asciiFastPath = getConverter()->asciiCompatible() ? 1 : 0;
  return asciiFastPath == 1;
}

char* StringMessage::tokenRoom(int bytes) {
  long long need = static_cast<long long>(tokenUsed) + bytes + 1;
  if (need >= tokenCapacity) {
    // Growth adds at least defaultSize beyond what is needed, and at least doubles, so building a
    // large message stays linear in its size.
    long long cap = static_cast<long long>(tokenCapacity) + bytes + 1 + defaultSize;
    if (cap < 2LL * tokenCapacity) cap = 2LL * tokenCapacity;
    if (cap > INT_MAX) cap = need + defaultSize <= INT_MAX ? INT_MAX : cap;
    if (cap > INT_MAX) return nullptr;
    char* grown = static_cast<char*>(allocOrDie(static_cast<size_t>(cap)));
    std::memcpy(grown, tokens, static_cast<size_t>(tokenUsed));
    std::free(tokens);
    tokens = grown;
    tokenCapacity = static_cast<int>(cap);
  }
  return tokens + tokenUsed;
}

bool StringMessage::appendToken(const char* text, int bytes) {
  char* room = tokenRoom(bytes);
  if (room == nullptr) return false;
  std::memcpy(room, text, static_cast<size_t>(bytes));
  room[bytes] = '\0';
  tokenUsed += bytes + 1;
  return true;
}

// Growth adds at least defaultSize beyond what is needed, and at least doubles, so building a
// large message stays linear in its size.
bool StringMessage::reserveUnits(int units) {
  long long need = static_cast<long long>(utf16Length) + units;
  if (need < utf16Capacity) return true;
  long long cap = static_cast<long long>(utf16Capacity) + units + defaultSize;
  if (cap < 2LL * utf16Capacity) cap = 2LL * utf16Capacity;
  const long long maxUnits = INT_MAX / static_cast<long long>(sizeof(unsigned short));
  if (cap > maxUnits && need + defaultSize <= maxUnits) cap = maxUnits;
  if (cap > maxUnits) return false;
  auto* grown =
      static_cast<unsigned short*>(allocOrDie(sizeof(unsigned short) * static_cast<size_t>(cap)));
  std::memcpy(grown, utf16, sizeof(unsigned short) * static_cast<size_t>(utf16Length + 1));
  std::free(utf16);
  utf16 = grown;
  utf16Capacity = static_cast<int>(cap);
  return true;
}

bool StringMessage::appendUnits(const unsigned short* text, int units) {
  if (!reserveUnits(units)) return false;
  std::memcpy(utf16 + utf16Length, text, sizeof(unsigned short) * static_cast<size_t>(units));
  utf16Length += units;
  utf16[utf16Length] = 0;
  return true;
}

namespace {
// Writes the decimal digits of a non-negative count; returns how many.
int decimalDigits(int value, unsigned short* out) {
  char reversed[12];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int i = 0; i < n; ++i) out[i] = static_cast<unsigned short>(reversed[n - 1 - i]);
  return n;
}
}  // namespace

void StringMessage::appendField(const char* value) {
  const char* text = (value == nullptr || *value == '\0') ? "null" : value;
  size_t bytes = std::strlen(text);
  if (bytes > static_cast<size_t>(INT_MAX / 2)) {
    logEncodingError();
    return;
  }
  unsigned short wideDigits[16];
  if (isAsciiText(text, bytes) && useAsciiFastPath()) {
    // ASCII maps byte for unit: the field is widened straight into the message.
    int units = static_cast<int>(bytes);
    int digitCount = decimalDigits(units, wideDigits);
    long long unitsNeeded =
        static_cast<long long>(utf16Length) + digitCount + delimiterLength + units;
    if (unitsNeeded >= INT_MAX / 2 || !appendToken(text, units) ||
        !reserveUnits(digitCount + delimiterLength + units)) {
      logEncodingError();
      return;
    }
    appendUnits(wideDigits, digitCount);
    appendUnits(delimiter, delimiterLength);
    unsigned short* out = utf16 + utf16Length;
    for (int i = 0; i < units; ++i) out[i] = static_cast<unsigned char>(text[i]);
    utf16Length += units;
    utf16[utf16Length] = 0;
    return;
  }
  int units = static_cast<int>(bytes);
  unsigned short* converted = getConverter()->fromNativeToUTF16(nullptr, text, units);
  if (converted == nullptr || units <= 0) {
    std::free(converted);
    logEncodingError();
    return;
  }
  int digitCount = decimalDigits(units, wideDigits);
  // Only a field that fits in both views is appended, so the views never disagree.
  long long unitsNeeded =
      static_cast<long long>(utf16Length) + digitCount + delimiterLength + units;
  if (unitsNeeded >= INT_MAX / 2 || !appendToken(text, static_cast<int>(bytes))) {
    std::free(converted);
    logEncodingError();
    return;
  }
  appendUnits(wideDigits, digitCount);
  appendUnits(delimiter, delimiterLength);
  appendUnits(converted, units);
  std::free(converted);
}

void StringMessage::appendBooleanField(int value) {
  if (value == 1) {
    appendField("true");
  } else if (value == 0) {
    appendField("false");
  }
}

void StringMessage::appendString(const unsigned short* text) {
  if (text == nullptr) return;
  appendUnitsAndSplit(text, jcslen(text));
}

void StringMessage::appendUnitsAndSplit(const unsigned short* text, int length) {
  if (text == nullptr || length <= 0) return;
  // Appending a message to itself: the buffer may move while it grows, so work on a copy.
  unsigned short* copy = nullptr;
  if (text >= utf16 && text < utf16 + utf16Capacity) {
    copy = static_cast<unsigned short*>(allocOrDie(sizeof(unsigned short) * length));
    std::memcpy(copy, text, sizeof(unsigned short) * static_cast<size_t>(length));
    text = copy;
  }
  int consumed = splitStringToTokens(text, length);
  if (consumed > 0) appendUnits(text, consumed);
  std::free(copy);
}

void StringMessage::appendNativeText(const char* text) {
  int units = -1;
  unsigned short* wide = getConverter()->fromNativeToUTF16(nullptr, text, units);
  if (wide == nullptr) {
    logEncodingError();
    return;
  }
  appendUnitsAndSplit(wide, units);
  std::free(wide);
}

bool StringMessage::delimiterAt(const unsigned short* text, int length, int pos) const {
  if (length - pos < delimiterLength) return false;
  for (int i = 0; i < delimiterLength; ++i) {
    if (text[pos + i] != delimiter[i]) return false;
  }
  return true;
}

int StringMessage::splitStringToTokens(const unsigned short* text, int length) {
  int pos = 0;
  while (pos < length) {
    // The length prefix: decimal digits running up to the first delimiter. Anything else (no
    // digits, a non-digit, a prefix too long to be a length) ends the split here.
    int k = pos;
    long long fieldLength = 0;
    while (k < length && k - pos < vy::wire::kMaxPrefixDigits && !delimiterAt(text, length, k) &&
           isDigitUnit(text[k])) {
      fieldLength = fieldLength * 10 + (text[k] - '0');
      ++k;
    }
    if (k == pos || !delimiterAt(text, length, k) || fieldLength < 1) break;
    int start = k + delimiterLength;
    // A length reaching past the end of the input is malformed, never read.
    if (fieldLength > length - start) break;
    int units = static_cast<int>(fieldLength);
    const unsigned short* field = text + start;
    bool appended;
    if (isAsciiUnits(field, units) && useAsciiFastPath()) {
      // Narrow straight into the token buffer.
      char* room = tokenRoom(units);
      appended = room != nullptr;
      if (appended) {
        for (int i = 0; i < units; ++i) room[i] = static_cast<char>(field[i]);
        room[units] = '\0';
        tokenUsed += units + 1;
      }
    } else {
      int bytes = units;
      char* native = getConverter()->fromUTF16ToNative(nullptr, field, bytes);
      if (native == nullptr || bytes < 0) {
        std::free(native);
        logEncodingError();
        // The field that could not be converted is dropped from both views.
        return pos;
      }
      appended = appendToken(native, bytes);
      std::free(native);
    }
    if (!appended) return pos;
    pos = start + units;
  }
  return pos;
}

void StringMessage::initTokenizer() {
  tokenUsed = 0;
  readPos = 0;
  splitStringToTokens(utf16, utf16Length);
}

char* StringMessage::nextToken() {
  if (readPos >= tokenUsed) return nullptr;
  char* token = tokens + readPos;
  // Every token is stored with its NUL, so this never runs past the bytes used.
  readPos += static_cast<int>(std::strlen(token)) + 1;
  return token;
}

char* StringMessage::toString() {
  if (nativeCache != nullptr && cacheMark == utf16Length) return nativeCache;
  std::free(nativeCache);
  nativeCache = nullptr;
  cacheMark = -1;
  nativeLength = 0;
  if (utf16Length == 0) return nullptr;
  int bytes = utf16Length;
  char* native = getConverter()->fromUTF16ToNative(nullptr, utf16, bytes);
  if (native == nullptr || bytes < 1) {
    std::free(native);
    logEncodingError();
    return nullptr;
  }
  nativeCache = native;
  nativeLength = bytes;
  cacheMark = utf16Length;
  return nativeCache;
}

void StringMessage::setDelimiter(const char* delim) {
  if (delim == nullptr) return;
  int units = -1;
  unsigned short* wide = getConverter()->fromNativeToUTF16(nullptr, delim, units);
  if (wide != nullptr && units > 0) {
    std::free(delimiter);
    delimiter = wide;
    delimiterLength = units;
  } else {
    std::free(wide);
  }
  initTokenizer();
}

int StringMessage::getCurrentSize() { return toString() == nullptr ? 0 : nativeLength; }

void StringMessage::logEncodingError() { vy::logEncodingError(); }

void vy::logEncodingError() {
  const char* encoding = vy::agentPort().encoding();
  if (encoding == nullptr) encoding = "null";
  char* text = vy::formatKyMsg(kEncodingErrorMsg, KyMsgFormat::MLV_FATAL, encoding, 0);
  vy::logText(text, KyMsgFormat::MLV_FATAL);
  std::free(text);
}
