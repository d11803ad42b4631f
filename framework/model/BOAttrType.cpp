#include "BOAttrType.hpp"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AgentLog.hpp"
#include "BusinessObject.hpp"
#include "KyMsgFormat.hpp"
#include "KyVersion.hpp"
#include "TextCopy.hpp"

namespace {

constexpr int kBadTypeNumberMsg = 61;

bool isBlankMarker(const char* text) {
  return text != nullptr && static_cast<const void*>(text) == BusinessObject::getBlankValue();
}

// The blank marker is kept by identity; any other text is copied.
char* keepOrCopy(const char* text) {
  if (isBlankMarker(text)) return BusinessObject::getBlankValue();
  return vy::copyText(text);
}

void freeUnlessBlank(char*& text) {
  if (!isBlankMarker(text)) std::free(text);
  text = nullptr;
}

void freeText(char*& text) {
  std::free(text);
  text = nullptr;
}

}  // namespace

int BOAttrType::OBJECT = 0;
int BOAttrType::BOOLEAN = 1;
int BOAttrType::INTEGER = 2;
int BOAttrType::FLOAT = 3;
int BOAttrType::DOUBLE = 4;
int BOAttrType::STRING = 5;
int BOAttrType::DATE = 6;
int BOAttrType::LONGTEXT = 7;

char* BOAttrType::CARD_SINGLE = const_cast<char*>("1");
char* BOAttrType::CARD_MULTIPLE = const_cast<char*>("n");
char* BOAttrType::REL_CONTAIN = const_cast<char*>("Containment");

BOAttrType::BOAttrType()
    : name(nullptr),
      typeNum(0),
      typeName(nullptr),
      keyFlag(0),
      foreignKeyFlag(0),
      requiredFlag(0),
      appText(nullptr),
      maxLength(0),
      defaultValue(nullptr),
      cardinality(nullptr),
      relationType(nullptr),
      requiredServerBound(0),
      auxText(nullptr),
      version(nullptr) {}

BOAttrType::~BOAttrType() {
  freeText(name);
  freeText(typeName);
  freeText(cardinality);
  freeText(relationType);
  freeText(auxText);
  freeUnlessBlank(appText);
  freeUnlessBlank(defaultValue);
  delete version;
  version = nullptr;
}

int BOAttrType::setAttrib(const char* attrName, int num, const char* type, unsigned char key,
                          unsigned char foreignKey, unsigned char required, const char* app,
                          int maxLen, const char* defValue, const char* versionText,
                          const char* card, const char* relation,
                          unsigned char isRequiredServerBound) {
  if (static_cast<unsigned int>(num) > 7u) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", num);
    vy::logKyMsg(kBadTypeNumberMsg, KyMsgFormat::MLV_FATAL, 1, number);
    return -1;
  }
  name = vy::copyText(attrName);
  typeNum = num;
  typeName = vy::copyText(type);
  keyFlag = key;
  foreignKeyFlag = foreignKey;
  requiredFlag = required;
  appText = keepOrCopy(app);
  maxLength = maxLen;
  defaultValue = keepOrCopy(defValue);
  if (versionText != nullptr) version = new KyVersion(versionText);
  cardinality = vy::copyText(card);
  relationType = vy::copyText(relation);
  requiredServerBound = isRequiredServerBound;
  return 0;
}

int BOAttrType::setAttrib(const char* attrName, int num, const char* type, unsigned char key,
                          unsigned char foreignKey, unsigned char required, const char* app,
                          int maxLen, const char* defValue, const char* versionText,
                          const char* card, const char* relation) {
  return setAttrib(attrName, num, type, key, foreignKey, required, app, maxLen, defValue,
                   versionText, card, relation, static_cast<unsigned char>(1));
}

int BOAttrType::setAttrib(const char* attrName, int num, const char* type, unsigned char key,
                          unsigned char foreignKey, unsigned char required, const char* app,
                          int maxLen, const char* defValue, const char* versionText,
                          const char* card, const char* relation, const char* aux) {
  int result = setAttrib(attrName, num, type, key, foreignKey, required, app, maxLen, defValue,
                         versionText, card, relation, static_cast<unsigned char>(1));
  if (result == 0) setAuxText(aux);
  return result;
}

void BOAttrType::setAuxText(const char* text) {
  std::free(auxText);
  auxText = vy::copyText(text);
}

KyVersion BOAttrType::getBOVersion() const {
  return version != nullptr ? *version : KyVersion(nullptr);
}

unsigned char BOAttrType::hasName(const char* other) const {
  if (name == nullptr || other == nullptr) return name == other;
  return std::strcmp(name, other) == 0;
}

unsigned char BOAttrType::hasTypeName(const char* other) const {
  if (typeName != nullptr && other != nullptr) return std::strcmp(typeName, other) == 0;
  return typeName == nullptr && other == nullptr;
}

unsigned char BOAttrType::hasCardinality(const char* card) const {
  if (cardinality != nullptr && card != nullptr) return strcasecmp(cardinality, card) == 0;
  return cardinality == nullptr && card == nullptr;
}

unsigned char BOAttrType::isMultipleCard() const {
  if (cardinality == nullptr) return 0;
  // Asked for every object attribute of every object read or written: the one-letter texts are
  // compared without a library call.
  if (cardinality[0] != '\0' && cardinality[1] == '\0' && CARD_MULTIPLE[0] != '\0' &&
      CARD_MULTIPLE[1] == '\0') {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return fold(cardinality[0]) == fold(CARD_MULTIPLE[0]);
  }
  return strcasecmp(cardinality, CARD_MULTIPLE) == 0;
}
