// The description of one business object type: its name and version, its attributes in order
// (one BOAttrType each), the verbs it supports with their application texts, free application
// text for the type, and the handler that serves it.
//
// Specs arrive from the agent as text and are parsed by BusObjSpec(StringMessage&); toStringMessage
// writes the same format back. A spec text is checked as it is read: when it is truncated, holds a
// non-numeric or impossible count, or announces more groups than it carries, the spec is left
// empty (no attributes, no verbs) and getParseError() names the problem; nothing is allocated for
// a count before the text proves it holds that many groups.
//
// Ownership: the spec owns its name, version, application text, attribute array and verb entries;
// it refers to (does not own) its handler. A spec filed in BusObjSpecDirectory belongs to the
// directory. Threads: once parsed and filed a spec is read-only and may be read by any number of
// threads at once (lookups use their own cursors, never the verb set's built-in one).
#ifndef VY_BUS_OBJ_SPEC_HPP
#define VY_BUS_OBJ_SPEC_HPP

#include "PtrSet.hpp"
#include "VyExport.hpp"

class BOAttrType;
class BOHandlerCPP;
class KyVersion;
class StringMessage;

// The one-character text (character code 5) that stands for an empty text in a spec text, where
// a field can never be empty.
VY_EXPORT extern const char* const VY_EMPTY_STRING;

// One supported verb and its application text.
class VY_EXPORT charStr {
 public:
  charStr();
  // Copies verb (must not be null) and appText (may be null).
  charStr(const char* verb, const char* appText);
  ~charStr();
  charStr(const charStr&) = delete;
  charStr& operator=(const charStr&) = delete;

  const char* getVerb() const { return verb; }
  const char* getAppText() const { return appText; }

 private:
  char* verb;
  char* appText;
};

class VY_EXPORT BusObjSpec {
 public:
  // Parses a spec text from the message's token stream. Check getParseError() afterwards.
  explicit BusObjSpec(StringMessage& msg);
  ~BusObjSpec();
  BusObjSpec(const BusObjSpec&) = delete;
  BusObjSpec& operator=(const BusObjSpec&) = delete;

  // Null when the text was well formed; otherwise what was wrong with it (a static text).
  const char* getParseError() const { return parseError; }

  // A new message in the spec wire format; the caller deletes it. Verbs are written in the verb
  // set's iteration order.
  StringMessage* toStringMessage() const;

  char* getName() { return name; }
  const char* getName() const { return name; }
  // Takes ownership of `n` (malloc'd).
  void setName(char* n);
  KyVersion* getVersion() { return version; }
  KyVersion* getMyVer() const { return version; }
  // Takes ownership of `v` (new'd).
  void setMyVer(KyVersion* v);
  char* getAppText() { return appText; }
  const char* getAppText() const { return appText; }
  // Takes ownership of `text` (malloc'd).
  void setAppText(char* text);

  int getAttributeCount() const { return attrCount; }
  void setAttrCount(int count) { attrCount = count; }
  BOAttrType* getAttributeList() { return attrList; }
  BOAttrType* getAttrList() const { return attrList; }
  // Takes ownership of `list` (new[]'d, attrCount entries).
  void setAttrList(BOAttrType* list);

  // The first attribute of that name; null (and a level-5 trace line) when there is none.
  BOAttrType* getAttribute(const char* attrName) const;
  // Entry `index`, or null when it is out of range.
  BOAttrType* getAttribute(int index) const;
  // Index of the first attribute of that name, or -1.
  int getAttributeIndex(const char* attrName) const;

  // A spec cannot be changed through these: each logs message 54 (MLV_FATAL) naming itself.
  int setAttribute(BOAttrType& attr, int index);
  int setAttribute(char* attrName, char* value, int index);
  // Returns the current count.
  int setAttributeCount(int count);
  void setAttributeList(BOAttrType& attr);

  // True for a null verb or a verb of the set (case-sensitive).
  int isVerbSupported(const char* verb) const;
  // The verb's application text; null for a null or unknown verb.
  const char* getVerbAppText(const char* verb) const;
  // The spec takes ownership; the same pointer twice is kept once.
  void addVerbsList(charStr* entry);
  // Removes without deleting.
  void removeVerbsList(charStr* entry);
  const PtrSet<charStr>& getVerbsListSet() const { return verbs; }

  void setMyBOHandler(BOHandlerCPP* handler) { myHandler = handler; }
  BOHandlerCPP* getMyBOHandler() const { return myHandler; }

  // Specs are never equal to anything.
  int equals(void*) const { return 0; }

 private:
  void parse(StringMessage& msg);
  void logRefusedChange(const char* operation) const;

  char* name;
  int attrCount;
  char* appText;
  PtrSet<charStr> verbs;
  BOHandlerCPP* myHandler;
  KyVersion* version;
  BOAttrType* attrList;
  const char* parseError;
};

#endif  // VY_BUS_OBJ_SPEC_HPP
