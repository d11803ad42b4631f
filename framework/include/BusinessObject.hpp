// One business object: a typed record laid out by a BusObjSpec, with a verb, a locale, a delta
// flag, a parent link and one value slot per spec attribute. Object attributes hold child
// objects (one, or a BusObjContainer of them), so an object is the root of a tree. Requests from
// the agent are read into this class, handed to the spec's handler by doVerbFor and written back.
//
// Value slots. A simple attribute (type 1 to 7) holds the ignore marker (null: no information),
// the blank marker (BlankValue: explicitly empty) or an owned NUL-terminated text. An object
// attribute holds null, an owned child BusinessObject (single cardinality) or an owned
// BusObjContainer (multiple cardinality). A slot read from the wire as "KyBlank" may hold the
// blank marker even for an object attribute; every operation that walks children treats it as
// no child.
//
// Ownership: an object owns its verb, locale, application verb, texts, children and containers;
// deleting it deletes the whole tree (without deep recursion, so trees of any depth can be
// released). The spec belongs to the spec directory, the parent and the context to the caller.
// Texts passed in are copied. Objects and messages returned by clone, makeNewAttrObject,
// toStringMessage and toStringMessageParentAndKeys belong to the caller (delete); texts from
// makeNewAttrObject are malloc'd (free).
//
// Failures. Construction that finds no spec, and reading a malformed message, leave the object
// without spec and without values: callers test getTheSpec() before use, and getReadError()
// says what was wrong with a message. Refused sets return 0 and leave the slot unchanged. Agent
// messages (62, 64, 72, 73, 17205, 17206) are generated and logged through the current veneer.
//
// Threads: one thread uses an object (and its tree) at a time; different objects may be used on
// different threads at once. Nothing here keeps shared mutable state.
#ifndef VY_BUSINESS_OBJECT_HPP
#define VY_BUSINESS_OBJECT_HPP

#include <cstddef>
#include <string>

#include "VyExport.hpp"

class BOAttrType;
class BusObjContainer;
class BusObjSpec;
class KyVersion;
class ReturnStatusDescriptor;
class StringMessage;
namespace vy {
struct ArenaChunk;
class RequestObject;
class WireTokens;
}  // namespace vy

class VY_EXPORT BusinessObject {
 public:
  // The ignore marker: the null pointer. Written on the wire as "KyIgnore".
  static char* const IgnoreValue;
  // The blank marker: one shared static empty text, recognised by its address; never freed by
  // anyone who holds it. Written on the wire as "KyBlank".
  static char* const BlankValue;
  static const char* const UPDATE_VERB;  // "Update"
  static const char* const DELETE_VERB;  // "Delete"
  static const char* const CREATE_VERB;  // "Create"

  // Deepest nesting the reader accepts (the top-level object is level 0); deeper messages are
  // refused as malformed.
  static const int MAX_READ_DEPTH = 512;

  // ---- construction ----

  // An empty object (every slot ignored, after-image, the agent's locale) of the newest spec of
  // that name. Without such a spec: message 64 and no spec.
  explicit BusinessObject(const char* name);
  // As above with the given locale; a null or empty locale gives "en_US".
  BusinessObject(const char* name, const char* locale);
  // As the first form, for the spec of that name and version.
  BusinessObject(const char* name, KyVersion& version);
  // Reads one business object message from the message's token stream, children included,
  // leaving the read position just after it. A malformed message (wrong kind marker, unknown
  // spec, counts that do not match, a stream that ends inside the object, nesting deeper than
  // MAX_READ_DEPTH) leaves the object without spec; getReadError() then describes the fault.
  explicit BusinessObject(StringMessage& message);
  // Deletes the whole tree.
  ~BusinessObject();
  BusinessObject(const BusinessObject&) = delete;
  BusinessObject& operator=(const BusinessObject&) = delete;

  // Frees slot `index` (child, container with its children, or text; never the blank marker)
  // and leaves it ignored. An index out of range does nothing.
  void freeValue(int index);

  // Why reading a message failed, or null when it did not.
  const char* getReadError() const { return readError; }

  // ---- accessors ----
  char* getName() const;
  KyVersion* getVersion() const;
  BusObjSpec* getSpecFor() const { return spec; }
  BusObjSpec* getTheSpec() const { return spec; }
  // Stores the pointer. The value array is not resized: use only with a spec of the same layout.
  void setTheSpec(BusObjSpec* s) { spec = s; }
  // The spec's attribute count, 0 without a spec.
  int getAttrCount() const;
  void** getAttrValues() const { return values; }
  void** getValues() const { return values; }
  // Replaces the array pointer (no copy); the object owns the new array (new[]) from now on.
  void setValues(void** v) { values = v; }
  BusinessObject* getParent() const { return parent; }
  void setParent(BusinessObject* p) { parent = p; }
  void removeParent() { parent = nullptr; }
  void* getContext() const { return context; }
  void setContext(void* c) { context = c; }
  unsigned int isDelta() const { return delta; }
  void setDelta(unsigned int flag) { delta = flag; }
  char* getVerb() const { return verb; }
  char* getAppVerb() const { return appVerb; }
  char* getLocale() const { return locale; }

  static char* getBlankValue() { return BlankValue; }
  static char* getIgnoreValue() { return IgnoreValue; }
  // False for null; true for the blank marker and for any empty text.
  static bool isBlankValue(const void* p);
  static bool isIgnoreValue(const void* p) { return p == nullptr; }

  // ---- attribute access ----

  // The slot content. An index out of range: message 73 (index, "Unknown") and null.
  void* getAttrValue(int index);
  void* getAttrValue(const char* name);
  // The type number, -1 when there is no such attribute.
  int getAttrType(int index) const;
  int getAttrType(const char* name) const;
  // The attribute's name, null when there is none.
  char* getAttrName(int index) const;
  BOAttrType* getAttrDesc(int index) const;
  BOAttrType* getAttrDesc(const char* name) const;

  // Stores `value` in the slot: the ignore marker (null) or the blank marker with any type (the
  // previous content is freed); a text for a simple attribute of type `type` (copied, the
  // previous text freed); a child BusinessObject for an object attribute (type 0; the object
  // takes ownership and becomes its parent; a multiple attribute appends it to its container,
  // created on first use; a single attribute replaces the slot WITHOUT freeing the previous
  // child, which stays the caller's). Returns 1, or 0 when refused (unknown attribute, type that
  // is not the attribute's): message 73 (index, type) or, by name, 72 (name, type).
  int setAttrValue(int index, const void* value, int type);
  int setAttrValue(const char* name, const void* value, int type);
  // The storing rule of setAttrValue without the agent message; 1 stored, 0 refused.
  int setAttributeValue(int index, const void* value, int type);

  // True for a simple attribute holding an empty text (or the blank marker).
  bool isBlank(int index) const;
  bool isBlank(const char* name) const;
  // True when the slot holds the ignore marker, also for an unknown attribute.
  bool isIgnore(int index) const;
  bool isIgnore(const char* name) const;
  // The attribute's default text; the ignore marker for an unknown attribute.
  char* getDefaultAttrValue(int index) const;
  char* getDefaultAttrValue(const char* name) const;
  // A new value for the attribute: for a simple attribute a text buffer of maximum length + 1
  // bytes (malloc, empty); for an object attribute a new empty BusinessObject of the attribute's
  // type; null for an unknown attribute. The caller owns it.
  void* makeNewAttrObject(int index);
  void* makeNewAttrObject(const char* name);

  // ---- verbs and locale ----

  // A verb the spec does not support is refused (message 62: verb, object name) and the verb
  // stays. Otherwise the object holds a copy (null clears it).
  void setVerb(const char* newVerb);
  void setAppVerb(const char* text);
  // A non-empty locale replaces the current one; otherwise the current one stays ("en_US" when
  // there is none). Returns the locale now held.
  char* setLocale(const char* newLocale);
  // Sets the verb on this object and on every object below it.
  void resetVerb(const char* newVerb);

  // ---- whole-object operations ----

  // Calls the spec's handler: for a delta "Update" through the handler's delta helpers,
  // otherwise directly. A first fatal message logged meanwhile becomes the status's error text
  // when it has none. Returns the handler's result; -1 (with an error text) when the object has
  // no spec or the spec no handler.
  int doVerbFor(ReturnStatusDescriptor* status);

  // Writes a readable picture into buffer (size bytes, NUL-terminated). Returns the characters
  // written, 0 for a null buffer, -1 when the picture does not fit.
  int dump(char* buffer, int size);

  // A new independent copy of the tree (same spec, verb, delta flags and values; locale from
  // the agent; no parent, context or application verb). A verb text "null" becomes no verb.
  // Delta flags are kept at every depth: a delta grandchild copied as an after-image would
  // lose the fields it leaves alone.
  BusinessObject* clone();
  // target.setAttrValues(getAttrValues()) and the delta flag; returns 1.
  int copy(BusinessObject& target);
  // Copies a slot array of this object's spec into this object: texts and markers, and copies
  // of every child and container (children get this object as parent; the copies are
  // after-images). Null source slots leave the target slot as it is. Children and containers
  // replaced here are released.
  void setAttrValues(void** source);
  // 0 when equal, -1 when not. The spec's last attribute is not compared, and a value missing on
  // either side counts as equal.
  int equalsContent(BusinessObject* other);
  // 1 when every key attribute holds the same text in both objects (1 when there are no keys);
  // 0 otherwise, for a null other, or when a key value is missing on either side.
  int equalPKeys(BusinessObject* other);

  // Containers for every multiple attribute that has none, then attribute defaults (non-empty
  // ones) for every simple attribute, down the whole tree.
  void setDefaultAttrValues();
  // For a "Create" object only: builds a test tree with `count` children per multiple
  // attribute and one per single attribute, random keys and defaults. An attribute whose type is
  // already an ancestor's type is left empty, so recursive specs give finite trees.
  void setDefaultAttrValues(int count, unsigned int flag);
  // For "Create" objects: new random key values, down the tree (each object by its own verb).
  void updateRandomizedKeyValues();
  // 1 when every required simple attribute has a value, filling ignored ones from defaults
  // unless "UseDefaults" is "false"; 0 otherwise (message 17205 or 17206).
  int initAndValidateAttributes();
  // Gives every object of the tree that has none an "ObjectEventId": a child's id starts with
  // its parent's id, "_", its position and "_". Objects whose spec has no such attribute are
  // skipped (their children are still processed).
  void setObjectEventIds();
  void setObjectEventIdValues(int index);

  // ---- wire format ----

  // A new message holding the full layout of the tree; the caller deletes it.
  // This object becomes `other`: it releases everything it owns, then takes over every member of
  // `other` (spec, verb, locale, values and children, delta flag, context); `other` is left an
  // empty, spec-less object that may be deleted without touching what this object now owns. The
  // parent link of this object is kept. Used when a synchronous request returns a new object.
  void takeStateFrom(BusinessObject& other);

  StringMessage* toStringMessage();
  // Appends the full layout of the tree to `message`.
  void appendTo(StringMessage& message);
  // A new message holding the parent-and-keys layout (no delta flag, only key values, no
  // children); the caller deletes it.
  StringMessage* toStringMessageParentAndKeys();

  // ---- delta and after-image processing ----

  // Marks this new image against the old one: children only here "Create", only in old copied
  // in as "Delete", in both "Update" (compared recursively). Nothing happens when keys differ.
  void createActionObject(BusinessObject* old);
  void actionObjectMethod(BusinessObject* old);
  // Applies a delta to this existing object, giving an action object. -1 when keys differ, else
  // 0. Unmatched delta children get the verb "Create" (in the delta too) and are copied in.
  int createActionObjectFromDelta(BusinessObject* deltaObject);
  // Applies a delta to this complete image, giving the new complete image. Returns 0.
  int createAfterImageFromDelta(BusinessObject* deltaObject);

 protected:
  // An empty object of `s` (every slot ignored, after-image, the agent's locale).
  explicit BusinessObject(BusObjSpec* s);
  // The reader, at nesting level `depth`.
  BusinessObject(StringMessage& message, int depth);

  // The storing rule of setAttributeValue applied to any slot array laid out by `s`; `owner`
  // becomes the parent of stored children. 1 stored, 0 refused.
  static int storeSlot(void** slots, BusObjSpec* s, BusinessObject* owner, int index,
                       const void* value, int type);
  // Frees one slot of an array laid out by `s` (never the blank marker) and leaves it null.
  // Texts `owner` keeps in its own storage are left to it.
  static void freeSlot(void** slots, BusObjSpec* s, int index,
                       const BusinessObject* owner = nullptr);
  // Frees every slot of an array laid out by `s`, children without deep recursion.
  static void freeSlots(void** slots, BusObjSpec* s, const BusinessObject* owner = nullptr);

  // The reader of a stream of fields at nesting level `depth`.
  BusinessObject(vy::WireTokens& in, int depth);
  // Reads one value group per attribute into `slots` (laid out by this object's spec, owned by
  // it): texts and markers, a child count followed by the children (and, with `containerFlags`,
  // a container's delta flag after its count). False, with `why` set ("kind: what"), when the
  // stream is malformed; the slots read so far stay for the caller to release.
  bool readValues(vy::WireTokens& in, void** slots, int depth, bool containerFlags,
                  const char* kind, std::string& why);
  // A slot array of this object's layout, every slot ignored, in the object's own storage.
  void** newSlots(int count);
  // Frees the slots' contents and the array (unless it is in the object's own storage).
  void releaseSlots(void** slots);
  // A copy of n bytes kept in this object's own storage (freed with the object).
  char* keepText(const char* text, size_t n);
  // Frees a text this object held unless it lives in the object's own storage.
  void releaseText(void* text) const;

  // Records why reading failed ("what: detail"), releases the values and drops the spec.
  void failRead(const char* what, const char* detail);

  // Generates message `num` of the framework set with the given texts and logs it.
  static void logKyMsg(int num, int type, const char* arg1, const char* arg2);

  // Child slot helpers: null for an empty slot, the blank marker or an index out of range.
  BusinessObject* childAt(int index) const;
  BusObjContainer* containerAt(int index) const;

  char* verb;
  char* locale;
  char* appVerb;
  void** values;
  BusinessObject* parent;
  BusObjSpec* spec;
  void* context;
  unsigned int delta;

 private:
  friend class BusObjContainer;

  void initEmpty();
  // Calls visit(child, position) for each child of attribute `index` (position: its place in
  // the container, 0 for a single child), or of every object attribute in attribute order;
  // stops when visit returns false, and then returns false.
  template <class Visit>
  bool forEachChildAt(int index, Visit visit) const;
  template <class Visit>
  bool forEachChild(Visit visit) const;
  // Frees every text, value and child the object owns (the members are left dangling).
  void releaseState();
  void allocValues();
  void lookUpSpec(const char* name, KyVersion& version);
  bool read(vy::WireTokens& in, int depth);
  // Stores a child into an attribute slot, releasing a replaced single child that is not the
  // same object.
  void replaceChild(int index, BusinessObject* child);
  BusinessObject* copyOf(bool keepDeltaFlags);
  void copyValuesFrom(void** source, bool keepDeltaFlags);
  void defaultTree(int count, unsigned int flag, int depth);
  int validate(bool useDefaults);
  // connectorName() gives the connector's name, asked of the agent on first use.
  template <class Name>
  void makeEventIds(int index, Name& connectorName);
  bool isVerb(const char* text) const;
  // The walk both delta merges share: -1 when `deltaObject` has no values or another attribute
  // count; otherwise marks this object "Update", takes every simple value the delta carries and
  // calls objectAttr(index, attr) for every object attribute, in attribute order; returns 0.
  template <class ObjectAttr>
  int mergeDelta(BusinessObject* deltaObject, ObjectAttr objectAttr);

  char* readError;
  vy::ArenaChunk* arena;  // texts and the value array of an object read from the wire

  friend class vy::RequestObject;
};

#endif  // VY_BUSINESS_OBJECT_HPP
