// The schema of one attribute of a business object type: name, data type, key and requirement
// flags, maximum length, default value, cardinality and relation type. A BusObjSpec holds one per
// attribute, in attribute order; business objects consult them to store, compare and write values.
//
// Attribute types are built once, by the spec parser or by connector code through setAttrib, and
// are read-only afterwards, so any number of threads may read one at the same time.
// Ownership: every text is a private heap copy freed with the attribute, except an application
// text or default value that is BusinessObject::BlankValue itself: that pointer is kept as is
// (its identity marks a blank value) and never freed.
#ifndef VY_BO_ATTR_TYPE_HPP
#define VY_BO_ATTR_TYPE_HPP

#include "VyExport.hpp"

class KyVersion;
class BusObjSpec;

class VY_EXPORT BOAttrType {
 public:
  // Type numbers; valid numbers are 0 to 7.
  static int OBJECT;    // 0: a child business object; the type name is the child type's name
  static int BOOLEAN;   // 1 "Boolean"
  static int INTEGER;   // 2 "Integer"
  static int FLOAT;     // 3 "Float"
  static int DOUBLE;    // 4 "Double"
  static int STRING;    // 5 "String"
  static int DATE;      // 6 "Date"
  static int LONGTEXT;  // 7 "LongText"

  static char* CARD_SINGLE;    // "1"
  static char* CARD_MULTIPLE;  // "n"
  static char* REL_CONTAIN;    // "Containment"

  BOAttrType();
  ~BOAttrType();
  BOAttrType(const BOAttrType&) = delete;
  BOAttrType& operator=(const BOAttrType&) = delete;

  // The full form. Returns 0, or -1 when typeNum is outside 0..7: message 61 (MLV_FATAL) is then
  // logged and nothing changes. `name` must not be null; other null texts stay null. `version`
  // is the version text of the type the attribute belongs to. Meant to be called once.
  int setAttrib(const char* name, int typeNum, const char* typeName, unsigned char isKey,
                unsigned char isForeignKey, unsigned char isRequired, const char* appText,
                int maxLength, const char* defaultValue, const char* version,
                const char* cardinality, const char* relationType,
                unsigned char isRequiredServerBound);
  // Twelve arguments: the required-server-bound flag is 1.
  int setAttrib(const char* name, int typeNum, const char* typeName, unsigned char isKey,
                unsigned char isForeignKey, unsigned char isRequired, const char* appText,
                int maxLength, const char* defaultValue, const char* version,
                const char* cardinality, const char* relationType);
  // Twelve arguments plus the auxiliary text (copied; must not be null); the required-server-bound
  // flag is 1.
  int setAttrib(const char* name, int typeNum, const char* typeName, unsigned char isKey,
                unsigned char isForeignKey, unsigned char isRequired, const char* appText,
                int maxLength, const char* defaultValue, const char* version,
                const char* cardinality, const char* relationType, const char* auxText);

  char* getName() const { return name; }
  int getTypeNum() const { return typeNum; }
  char* getTypeName() const { return typeName; }
  char* getAppText() const { return appText; }
  int getMaxLength() const { return maxLength; }
  char* getDefault() const { return defaultValue; }
  char* getCardinality() const { return cardinality; }
  char* getRelationType() const { return relationType; }
  // The auxiliary text (thirteenth field of an attribute in a spec text), or null.
  char* getAuxText() const { return auxText; }
  unsigned char isKey() const { return keyFlag; }
  unsigned char isForeignKey() const { return foreignKeyFlag; }
  unsigned char isRequired() const { return requiredFlag; }
  unsigned char getIsRequiredServerBound() const { return requiredServerBound; }
  // A copy of the type version; the attribute must have one (every parsed attribute does).
  KyVersion getBOVersion() const;
  // The stored version or null.
  const KyVersion* getBOVersionPtr() const { return version; }

  unsigned char isType(int num) const { return typeNum == num; }
  unsigned char isObjectType() const { return typeNum == 0; }
  // Case-sensitive equality with the name.
  unsigned char hasName(const char* other) const;
  // Both non-null: case-sensitive equality; otherwise true only when both are null.
  unsigned char hasTypeName(const char* other) const;
  // Both non-null: case-insensitive equality; otherwise true only when both are null.
  unsigned char hasCardinality(const char* card) const;
  // Cardinality "n" or "N".
  unsigned char isMultipleCard() const;

 private:
  friend class BusObjSpec;
  // Used by the spec parser, which keeps the required-server-bound flag it read.
  void setAuxText(const char* text);

  char* name;
  int typeNum;
  char* typeName;
  unsigned char keyFlag;
  unsigned char foreignKeyFlag;
  unsigned char requiredFlag;
  char* appText;
  int maxLength;
  char* defaultValue;
  char* cardinality;
  char* relationType;
  unsigned char requiredServerBound;
  char* auxText;
  KyVersion* version;
};

#endif  // VY_BO_ATTR_TYPE_HPP
